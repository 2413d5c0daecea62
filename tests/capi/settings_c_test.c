/* zng_set_option from a plain C program against the sandbox: the process's own TLS settings,
 * their refusals, and their effect on the next connection. Exits with the number of checks
 * that failed. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "zngroups.h"

static int failures = 0;

static void Check(int held, const char* what, int line) {
    if (!held) {
        ++failures;
        fprintf(stderr, "settings_c_test.c:%d: check failed: %s\n", line, what);
    }
}
#define CHECK(condition) Check((condition) != 0, #condition, __LINE__)

static int Same(const char* text, const char* expected) {
    return text != NULL && strcmp(text, expected) == 0;
}

int main(void) {
    const char* ca = getenv("ZNG_TLS_CA");
    zng_worker* worker = zng_worker_new();
    if (ca == NULL || worker == NULL) {
        fprintf(stderr, "settings_c_test: run inside directory/sandbox\n");
        return 1;
    }
    CHECK(zng_set_option("tls", "ldaps") == 1 && Same(zng_option_error(), ""));
    CHECK(zng_set_option("tls-ca", ca) == 1);
    CHECK(Same(zng_worker_get_full_name_of(worker, "jdoe"), "John Doe"));
    CHECK(zng_worker_authenticate(worker, "jdoe", "secret") == 1);

    /* Refused values change nothing and say why. */
    CHECK(zng_set_option("tls", "sometimes") == 0);
    CHECK(Same(zng_option_error(),
               "the program's setting: tls = \"sometimes\" is not off, starttls or ldaps"));
    CHECK(zng_set_option("colour", "blue") == 0);
    CHECK(strstr(zng_option_error(), "unknown setting \"colour\"") == zng_option_error());
    CHECK(zng_set_option(NULL, NULL) == 0);
    CHECK(Same(zng_worker_get_full_name_of(worker, "asmith"), "Alice Smith"));

    /* A CA that cannot be read stops the connection with its own code. */
    CHECK(zng_set_option("tls-ca", "/nonexistent/ca.pem") == 1);
    CHECK(Same(zng_worker_get_full_name_of(worker, "jdoe"), ""));
    CHECK(zng_worker_get_error_status_code(worker) == ZNG_CODE_TLS_SETTINGS_INVALID);
    CHECK(zng_status_kind(ZNG_CODE_TLS_SETTINGS_INVALID) == ZNG_STATUS_UNREACHABLE);
    CHECK(zng_worker_authenticate(worker, "jdoe", "secret") == 0);
    CHECK(zng_worker_get_error_status_code(worker) == ZNG_CODE_TLS_SETTINGS_INVALID);

    /* NULL gives the key back to the environment and the file: plain here. */
    CHECK(zng_set_option("tls", NULL) == 1);
    CHECK(Same(zng_worker_get_full_name_of(worker, "jdoe"), "John Doe"));
    CHECK(zng_set_option("admin-tls", "off") == 1 && zng_set_option("tls-verify", "on") == 1);

    zng_worker_free(worker);
    return failures;
}
