// How the library protects its traffic: TLS for the directory, TLS and proof of the requester
// for the administration channel. Read from a configuration file, then from the environment,
// which wins, so that one variable switches a single program without touching the machine's
// file.
//
// File (first found): $ZNGROUPS_CONFIG, else /etc/zngroups/zngroups.conf on POSIX systems and
// %ProgramData%\zngroups\zngroups.conf on Windows. Lines "key = value"; '#' starts a comment.
//
//   key          environment            values
//   tls          ZNGROUPS_TLS           off | starttls | ldaps          (default off)
//   tls-ca       ZNGROUPS_TLS_CA        a PEM file of trusted authorities
//   tls-verify   ZNGROUPS_TLS_VERIFY    yes | no                        (default yes)
//   admin-tls    ZNGROUPS_ADMIN_TLS     off | on                        (default off)
#pragma once

#include <string>

namespace zn {

enum class DirectoryTls { kOff, kStartTls, kLdaps };

struct TlsSettings {
    DirectoryTls directory = DirectoryTls::kOff;
    std::string caFile;
    bool verify = true;
    bool adminTls = false;
    // The configuration file read, empty when none was found.
    std::string file;
    // Set when a value could not be understood; the caller must then refuse to connect
    // rather than fall back to plain traffic. Names the key and its source.
    std::string error;
};

// Reads the file and the environment afresh: a program may change either between connections.
TlsSettings LoadTlsSettings();

// Sets a process-wide override of one key ("tls", "tls-ca", "tls-verify", "admin-tls"), or
// removes it when `value` is null. A value that the key cannot take, or an unknown key, is
// refused (false, and `error` says why) and leaves the overrides as they were. Safe to call
// from any thread while others connect.
bool SetTlsOverride(const char* key, const char* value, std::string& error);
// Removes every override.
void ClearTlsOverrides();

// The file's path as LoadTlsSettings looks for it.
std::string TlsSettingsFile();

}  // namespace zn
