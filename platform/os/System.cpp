#include "System.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <filesystem>
#include <strings.h>
#include <system_error>

namespace fs = std::filesystem;

std::string ProgramFolder()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "./";
    std::string dir = exe.parent_path().string();
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

uint32_t timeGetTime()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool ShellExecuteOpen(const std::string& program, const std::string& parameters,
                      const std::string& workingFolder)
{
    QStringList args;
    if (!parameters.empty())
        args = QProcess::splitCommand(QString::fromStdString(parameters));
    return QProcess::startDetached(QString::fromStdString(program), args, QString::fromStdString(workingFolder));
}

bool ShellOpenUrl(const std::string& url)
{
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

std::string ResolveFileNameCase(const std::string& path)
{
    std::error_code ec;
    fs::path p(path);
    if (fs::exists(p, ec))
        return path;
    fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    std::string name = p.filename().string();
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string candidate = it->path().filename().string();
        if (candidate.size() == name.size() && strcasecmp(candidate.c_str(), name.c_str()) == 0)
            return (p.has_parent_path() ? (p.parent_path() / candidate) : fs::path(candidate)).string();
    }
    return path;
}

bool DirectoryExists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

std::string CurrentDirectory()
{
    std::error_code ec;
    auto p = fs::current_path(ec);
    return ec ? std::string(".") : p.string();
}
