#include "Settings.h"

#include "IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

namespace {

// The values sit in the file's section [General], where QSettings puts keys without a
// group (the installer writes "Path" with QSettings).
constexpr const char* kSection = "General";

std::string Lower(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

// The value as the line holds it. Values that the reader would change (blanks at either
// end, a pair of enclosing quotes) get one pair of double quotes, which the reader takes
// off again; everything else, ';' and ',' included, is written as it stands.
std::string LineValue(const std::string& value)
{
    if (value.empty())
        return value;
    const char first = value.front(), last = value.back();
    const bool blankEnd = first == ' ' || first == '\t' || last == ' ' || last == '\t';
    const bool quoted = value.size() >= 2 && (first == '"' || first == '\'') && last == first;
    return blankEnd || quoted ? "\"" + value + "\"" : value;
}

}  // namespace

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
    // Each value is one plain string: the rest of its line, whatever it holds. (QSettings
    // would take an unquoted "a;b" as "a", the rest being a comment, and "a,b" as a list.)
    TIniFile ini(path_);
    const std::string missing = "\n";  // no value can hold a line break
    std::string value = ini.ReadString(kSection, name, missing);
    if (value == missing)
        return std::nullopt;
    return value;
}

bool TSettingsStore::WriteString(const std::string& name, const std::string& value)
{
    if (name.empty() || name.find_first_of("=[\r\n") != std::string::npos ||
        value.find_first_of("\r\n") != std::string::npos)
        return false;  // a value is one line
    QFileInfo info(QString::fromStdString(path_));
    if (!QDir().mkpath(info.absolutePath()))
        return false;

    // Only the line of this value changes; every other line, "Path" with whatever a person
    // wrote there included, is written back byte for byte.
    std::string text;
    if (std::ifstream in(path_, std::ios::binary); in)
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;  // each with its line end
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    if (!lines.empty() && lines.back().back() != '\n')
        lines.back() += '\n';

    const std::string line = name + "=" + LineValue(value) + "\n";
    const std::string key = Lower(name);
    int section = -1;   // the header of the first [General]
    int lastInSection = -1;
    bool done = false;
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string_view l = Trim(lines[i]);
        if (l.empty() || l.front() == ';')
            continue;
        if (l.front() == '[') {
            if (section >= 0)
                break;  // the first [General] has ended
            size_t close = l.find(']');
            if (Lower(Trim(l.substr(1, close == std::string_view::npos ? l.size() - 1 : close - 1))) == Lower(kSection))
                section = lastInSection = static_cast<int>(i);
            continue;
        }
        if (section < 0)
            continue;
        lastInSection = static_cast<int>(i);
        if (Lower(Trim(l.substr(0, l.find('=')))) == key) {
            lines[i] = line;
            done = true;
        }
    }
    if (!done && section >= 0)
        lines.insert(lines.begin() + lastInSection + 1, line);
    else if (!done)
        lines.push_back("[" + std::string(kSection) + "]\n" + line);

    QSaveFile out(QString::fromStdString(path_));
    if (!out.open(QIODevice::WriteOnly))
        return false;
    for (const std::string& l : lines)
        if (out.write(l.data(), static_cast<qint64>(l.size())) != static_cast<qint64>(l.size()))
            return false;
    return out.commit();
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
