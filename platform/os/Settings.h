// The settings store (the counterpart of the registry key SOFTWARE\Velkor\Aubadine\1.0):
// string values in the INI file $XDG_CONFIG_HOME/Velkor/Aubadine/1.0.ini (default
// ~/.config/...), section [General], one "name=value" line each, as QSettings writes it.
// Like registry strings, a value is one plain string: the rest of its line, with one pair
// of enclosing quotes taken off (QSettings quotes values holding ';' or ','). Writing a
// value changes only its own line.
#pragma once

#include <optional>
#include <string>

class TSettingsStore {
public:
    // The file is located when the store is created; nothing is read until asked.
    TSettingsStore();
    explicit TSettingsStore(std::string iniPath);

    // The value, or nothing when the file, the key or the value is missing or unreadable.
    std::optional<std::string> ReadString(const std::string& name) const;
    // Creates the file and its folders when missing. False when it could not be written.
    bool WriteString(const std::string& name, const std::string& value);

    const std::string& FilePath() const { return path_; }
    static std::string DefaultPath();

private:
    std::string path_;
};

// Booleans are stored as "0" and "1"; a missing or empty value gives def, any non-zero
// number means set.
bool ReadBoolSetting(const TSettingsStore& store, const std::string& name, bool def);
