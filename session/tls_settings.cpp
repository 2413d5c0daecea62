#include "session/tls_settings.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>

namespace zn {
namespace {

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])) != 0) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])) != 0) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

void Fail(TlsSettings& settings, const std::string& where, const std::string& key,
          const std::string& value, const char* expected) {
    if (settings.error.empty()) {
        settings.error = where + ": " + key + " = \"" + value + "\" is not " + expected;
    }
}

constexpr const char* kKeys[] = {"tls", "tls-ca", "tls-verify", "admin-tls"};
constexpr const char* kOverrideSource = "the program's setting";

// The program's overrides, read by every connection on any thread. Never destroyed: a thread
// may still connect while the process exits.
std::mutex& OverridesGuard() {
    static std::mutex* guard = new std::mutex();
    return *guard;
}
std::map<std::string, std::string>& Overrides() {
    static auto* overrides = new std::map<std::string, std::string>();
    return *overrides;
}

// Applies one setting; `where` names its source for the error text.
void Apply(TlsSettings& settings, const std::string& key, const std::string& rawValue,
           const std::string& where) {
    std::string value = Lower(Trim(rawValue));
    if (key == "tls") {
        if (value == "off" || value == "no" || value.empty()) {
            settings.directory = DirectoryTls::kOff;
        } else if (value == "starttls") {
            settings.directory = DirectoryTls::kStartTls;
        } else if (value == "ldaps") {
            settings.directory = DirectoryTls::kLdaps;
        } else {
            Fail(settings, where, key, Trim(rawValue), "off, starttls or ldaps");
        }
    } else if (key == "tls-ca") {
        settings.caFile = Trim(rawValue);
    } else if (key == "tls-verify" || key == "admin-tls") {
        bool on = false;
        if (value == "yes" || value == "on" || value == "true" || value == "1") {
            on = true;
        } else if (!(value == "no" || value == "off" || value == "false" || value == "0")) {
            Fail(settings, where, key, Trim(rawValue), "on or off");
            return;
        }
        (key == "tls-verify" ? settings.verify : settings.adminTls) = on;
    }
    // Unknown keys are left for newer versions of the library sharing the file.
}

void ReadFile(TlsSettings& settings, const std::string& path, bool mustExist) {
    std::ifstream in(path);
    if (!in) {
        if (mustExist) {
            settings.error = "the configuration file " + path + " cannot be read";
        }
        return;
    }
    settings.file = path;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::size_t hash = line.find('#');
        if (hash != std::string::npos) {
            line.erase(hash);
        }
        line = Trim(line);
        if (line.empty()) {
            continue;
        }
        std::size_t equals = line.find('=');
        std::string where = path + ":" + std::to_string(number);
        if (equals == std::string::npos) {
            if (settings.error.empty()) {
                settings.error = where + ": \"" + line + "\" is not a \"key = value\" line";
            }
            continue;
        }
        Apply(settings, Lower(Trim(line.substr(0, equals))), line.substr(equals + 1), where);
    }
}

const char* Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

std::string TlsSettingsFile() {
    if (const char* path = Environment("ZNGROUPS_CONFIG")) {
        return path;
    }
#ifdef _WIN32
    const char* data = Environment("ProgramData");
    return std::string(data != nullptr ? data : "C:\\ProgramData") + "\\zngroups\\zngroups.conf";
#else
    return "/etc/zngroups/zngroups.conf";
#endif
}

TlsSettings LoadTlsSettings() {
    TlsSettings settings;
    ReadFile(settings, TlsSettingsFile(), Environment("ZNGROUPS_CONFIG") != nullptr);
    static const struct {
        const char* variable;
        const char* key;
    } kOverrides[] = {
        {"ZNGROUPS_TLS", "tls"},
        {"ZNGROUPS_TLS_CA", "tls-ca"},
        {"ZNGROUPS_TLS_VERIFY", "tls-verify"},
        {"ZNGROUPS_ADMIN_TLS", "admin-tls"},
    };
    for (const auto& override : kOverrides) {
        if (const char* value = Environment(override.variable)) {
            Apply(settings, override.key, value, override.variable);
        }
    }
    // A value the program set was checked when it was set, so it cannot add an error; it does
    // not hide one of the file or the environment either, which would mean a broken
    // configuration that only some programs notice.
    const std::lock_guard<std::mutex> lock(OverridesGuard());
    for (const auto& [key, value] : Overrides()) {
        Apply(settings, key, value, kOverrideSource);
    }
    return settings;
}

bool SetTlsOverride(const char* key, const char* value, std::string& error) {
    const std::string name = key != nullptr ? Lower(Trim(key)) : std::string();
    bool known = false;
    for (const char* candidate : kKeys) known = known || name == candidate;
    if (!known) {
        error = "unknown setting \"" + std::string(key != nullptr ? key : "") +
                "\" (known: tls, tls-ca, tls-verify, admin-tls)";
        return false;
    }
    if (value != nullptr) {
        TlsSettings probe;
        Apply(probe, name, value, kOverrideSource);
        if (!probe.error.empty()) {
            error = probe.error;
            return false;
        }
    }
    const std::lock_guard<std::mutex> lock(OverridesGuard());
    if (value == nullptr) {
        Overrides().erase(name);
    } else {
        Overrides()[name] = value;
    }
    error.clear();
    return true;
}

void ClearTlsOverrides() {
    const std::lock_guard<std::mutex> lock(OverridesGuard());
    Overrides().clear();
}

}  // namespace zn
