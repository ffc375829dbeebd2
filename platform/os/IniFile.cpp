#include "IniFile.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace {

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
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view Unquote(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

}  // namespace

TIniFile::TIniFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Parse(text);
}

TIniFile TIniFile::FromText(std::string_view text)
{
    TIniFile f;
    f.Parse(text);
    return f;
}

void TIniFile::Parse(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    Section* current = nullptr;  // null outside a section or inside a repeated one
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end;
        if (pos < text.size() && text[pos] == '\r')
            ++pos;
        if (pos < text.size() && text[pos] == '\n')
            ++pos;

        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            std::string name = Lower(Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1)));
            auto [it, inserted] = sections_.try_emplace(name);
            // A second section of the same name is invisible, as with the profile services.
            current = inserted ? &it->second : nullptr;
            continue;
        }
        if (!current)
            continue;
        size_t eq = line.find('=');
        std::string_view key = Trim(line.substr(0, eq));
        std::string_view value = eq == std::string_view::npos ? std::string_view() : Unquote(Trim(line.substr(eq + 1)));
        if (key.empty())
            continue;
        current->keys.emplace_back(key);
        current->values.try_emplace(Lower(key), value);
    }
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const
{
    auto it = sections_.find(Lower(section));
    return it == sections_.end() ? std::vector<std::string>() : it->second.keys;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const
{
    auto s = sections_.find(Lower(section));
    if (s == sections_.end())
        return def;
    auto v = s->second.values.find(Lower(key));
    return v == s->second.values.end() ? def : v->second;
}
