#include "Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <cstdlib>

std::string TSettingsStore::DefaultPath()
{
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = ".config";
    return base + "/Velkor/Aubadine/1.0.ini";
}

TSettingsStore::TSettingsStore() : path_(DefaultPath()) {}
TSettingsStore::TSettingsStore(std::string iniPath) : path_(std::move(iniPath)) {}

std::optional<std::string> TSettingsStore::ReadString(const std::string& name) const
{
    QFileInfo info(QString::fromStdString(path_));
    if (!info.isFile() || !info.isReadable())
        return std::nullopt;
    QSettings ini(QString::fromStdString(path_), QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return std::nullopt;
    QVariant v = ini.value(QString::fromStdString(name));
    if (!v.isValid())
        return std::nullopt;
    // A value that QSettings reads as a list ("a, b") is joined back as it was written.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(", ").toStdString();
    return v.toString().toStdString();
}

bool TSettingsStore::WriteString(const std::string& name, const std::string& value)
{
    QFileInfo info(QString::fromStdString(path_));
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    QSettings ini(QString::fromStdString(path_), QSettings::IniFormat);
    ini.setValue(QString::fromStdString(name), QString::fromStdString(value));
    ini.sync();
    return ini.status() == QSettings::NoError;
}

bool ReadBoolSetting(const TSettingsStore& store, const std::string& name, bool def)
{
    auto v = store.ReadString(name);
    if (!v || v->empty())
        return def;
    char* end = nullptr;
    long n = std::strtol(v->c_str(), &end, 10);
    if (end == v->c_str())
        return def;  // not a number: the default, as for an unreadable value
    return n != 0;
}
