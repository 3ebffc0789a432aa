#include "platform/Workstation.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

#include <vector>
#endif

namespace platform {

#ifdef _WIN32

QString computerName() {
    char buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof buffer;
    if (!GetComputerNameA(buffer, &size))
        return {};
    return QString::fromLocal8Bit(buffer, static_cast<qsizetype>(size));
}

std::optional<QString> loginName() {
    // UNLEN + 1; spelled out so <lmcons.h> is not needed.
    char buffer[257] = {};
    DWORD size = sizeof buffer;
    if (!GetUserNameA(buffer, &size))
        return std::nullopt;
    return QString::fromLocal8Bit(buffer);
}

#else

QString computerName() {
    return QSysInfo::machineHostName();
}

std::optional<QString> loginName() {
    // The account of the process first: getlogin() fails without a controlling terminal, which
    // is the usual case for a program started from a desktop menu.
    long bufferSize = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(bufferSize > 0 ? static_cast<std::size_t>(bufferSize) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name && *found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    if (const char* name = getlogin(); name && *name)
        return QString::fromLocal8Bit(name);
    if (QString name = qEnvironmentVariable("USER"); !name.isEmpty())
        return name;
    return std::nullopt;
}

#endif

} // namespace platform
