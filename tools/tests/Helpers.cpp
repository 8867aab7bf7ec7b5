#include "Helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

ReadingParser parsedByMonitor(const QByteArray &datagram) {
    ReadingParser r;
    r.udpdata = QString::fromUtf8(datagram);
    r.parseudp();
    return r;
}

QList<QByteArray> receive(QUdpSocket &socket, int count, int milliseconds) {
    QList<QByteArray> datagrams;
    while (datagrams.size() < count &&
           (socket.hasPendingDatagrams() || socket.waitForReadyRead(milliseconds)))
        while (socket.hasPendingDatagrams())
            datagrams.append(socket.receiveDatagram().data());
    return datagrams;
}

bool writeTree(const QString &root, const QMap<QString, QByteArray> &files) {
    for (auto it = files.begin(); it != files.end(); ++it) {
        QFile file(root + QLatin1Char('/') + it.key());
        if (!QDir().mkpath(QFileInfo(file).path()) || !file.open(QIODevice::WriteOnly) ||
            file.write(it.value()) != it.value().size())
            return false;
    }
    return true;
}

namespace {

constexpr int Unavailable = 77;

bool writeFile(const char *path, const std::string &text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    if (fd >= 0)
        ::close(fd);
    return ok;
}

bool privateMounts() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (uid == 0 && ::unshare(CLONE_NEWNS) == 0)
        return true;
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return false;
    writeFile("/proc/self/setgroups", "deny");
    return writeFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
           writeFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
}

} // namespace

ChildOutcome runWithFakeSensors(const QString &classDir, const QString &config,
                                const std::function<int()> &body) {
    ChildOutcome outcome;
    const QByteArray classSource = QFile::encodeName(classDir), configSource = QFile::encodeName(config);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return outcome;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::dup2(fds[1], STDERR_FILENO);
        // Private propagation first, so that nothing mounted here reaches the rest of the machine.
        if (!privateMounts() || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(classSource.constData(), "/sys/class", nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(configSource.constData(), "/etc/sensors3.conf", nullptr, MS_BIND, nullptr) != 0)
            ::_exit(Unavailable);
        const int code = body();
        std::fflush(nullptr);
        ::_exit(code);
    }
    ::close(fds[1]);
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;)
        if (n > 0)
            outcome.output.append(buffer, int(n));
        else if (errno != EINTR)
            break;
    ::close(fds[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return outcome;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.available = outcome.exitCode != Unavailable;
    return outcome;
}
