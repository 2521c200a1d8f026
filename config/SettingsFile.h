#pragma once
// What the options file and the settings file share: where they live, and saving one
// under its named mutex.
#include <string>

// `path` when given, else fileName in the per-user application folder; empty when that
// folder cannot be determined.
std::string SettingsFilePath(const char* path, const char* fileName);

// The texts a record's Save throws.
struct SettingsSaveErrors {
    const char* lockFailed;   // the named mutex could not be had
    const char* noFolder;     // the application folder could not be determined
    const char* createFailed; // followed by the folder path: it could not be created
};

// Writes text to the record's file while holding the named mutex. The file is replaced
// atomically; a file that cannot be written is left as it was, without a message.
void SaveSettingsFile(const char* mutexName, unsigned waitMs, const char* path, const char* fileName,
                      const std::string& text, const SettingsSaveErrors& errors);
