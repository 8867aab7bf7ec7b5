// Feeds every input, as the bytes of the settings file, to the settings reader and then to a real start
// of the main window (offscreen): Form_Load reads the file, puts the port into the options dialog,
// applies the stored geometry, binds the socket; then the window is shown and painted as the program
// does after start-up. Whatever the file holds, the start must end in one of the defined outcomes:
//   - a complete record: the port and the geometry are taken, sizes held between the window's minimum
//     and the desktop, and a place where no screen would show the window replaced by the design-time
//     place;
//   - an empty file: nothing applied, nothing said;
//   - anything else: nothing applied and the damaged-file message shown;
// and, in every case, the socket either bound to the port in the options dialog or a message naming
// the port; the window on a screen; nothing crashed, hung or grew without bound.
//
// Binding real ports: run this in a network namespace of its own where one can be had (fuzz/run does),
// so that it never holds a port another program on the machine wants.
//
// ZARARE_FUZZ_STARTUP_EVERY=N starts the window for every N-th input only (default 1: every input).
//
// Leaks: Qt fills caches of its own during the first starts, so the fuzzer's check after every input
// (-detect_leaks) would scan the heap after nearly every input. Run with -detect_leaks=0 instead: every
// LeakCheckEvery inputs this target checks for leaks itself and, on a leak, writes the inputs since
// the last check to settings-leak-<pid>-<n> (in $ZARARE_FUZZ_HISTORY_DIR, else the current folder);
// `fuzz_settings settings-leak-*` runs them again, and LeakSanitizer reports at exit.

#include "desktop/LoadedForms.h"
#include "geometry/Twips.h"
#include "mainwindow/MainForm.h"
#include "net/UdpSocket.h"
#include "settings/SettingsFile.h"
#include "settings/frmOptions.h"
#include "text/NumberText.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <vector>

#if __has_include(<sanitizer/lsan_interface.h>)
#include <sanitizer/lsan_interface.h>
#define ZARARE_LEAK_CHECK 1
#endif
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir *folder = nullptr;
QString path;
long startUpEvery = 1;
long inputs = 0;
constexpr int LeakCheckEvery = 100;
std::vector<QByteArray> sinceLeakCheck;

// With every window of the last starts gone, nothing they allocated may be left unreachable.
void checkForLeaks() {
#ifdef ZARARE_LEAK_CHECK
    if (__lsan_do_recoverable_leak_check() == 0) {
        sinceLeakCheck.clear();
        return;
    }
    QByteArray dir = qgetenv("ZARARE_FUZZ_HISTORY_DIR");
    if (dir.isEmpty())
        dir = ".";
    for (size_t i = 0; i < sinceLeakCheck.size(); ++i) {
        QFile file(QString::fromLocal8Bit(dir) +
                   QStringLiteral("/settings-leak-%1-%2").arg(QCoreApplication::applicationPid()).arg(i));
        if (file.open(QIODevice::WriteOnly))
            file.write(sinceLeakCheck[i]);
    }
    std::fprintf(stderr,
                 "\n== memory leaked by one of the last %zu starts; they are in %s/settings-leak-%lld-*\n",
                 sinceLeakCheck.size(), dir.constData(), QCoreApplication::applicationPid());
    std::abort();
#endif
}

const char *statusName(SettingsFile::Status s) {
    switch (s) {
    case SettingsFile::Status::Missing:
        return "Missing";
    case SettingsFile::Status::Empty:
        return "Empty";
    case SettingsFile::Status::Complete:
        return "Complete";
    case SettingsFile::Status::Damaged:
        return "Damaged";
    case SettingsFile::Status::Unreadable:
        return "Unreadable";
    }
    return "?";
}

void expect(bool ok, const char *rule, const QString &detail = QString()) {
    if (ok)
        return;
    std::fprintf(stderr, "\n== start-up rule broken: %s %s\n", rule, qPrintable(detail));
    std::abort();
}

// Pixels for a number of twips as the window takes them: rounded half to even, and held within what a
// window system can address.
constexpr int MaxPixels = 32767;
int pixels(float twips, float perPixel) {
    const double px = std::nearbyint(double(twips) / double(perPixel));
    if (!(px > -MaxPixels))
        return -MaxPixels;
    if (!(px < MaxPixels))
        return MaxPixels;
    return int(px);
}

bool near(const QPoint &a, const QPoint &b, const QPoint &slack) {
    return std::abs(a.x() - b.x()) <= slack.x() && std::abs(a.y() - b.y()) <= slack.y();
}

bool onSomeScreen(const QRect &rect) {
    for (const QScreen *screen : QGuiApplication::screens())
        if (screen->geometry().intersects(rect))
            return true;
    return false;
}

QList<QMessageBox *> messages() {
    QList<QMessageBox *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w))
            boxes << box;
    return boxes;
}

void checkRead(const QByteArray &bytes, const SettingsFile::ReadResult &r) {
    using SettingsFile::Status;
    const QString status = QString::fromLatin1(statusName(r.status));
    expect(r.status == Status::Empty || r.status == Status::Complete || r.status == Status::Damaged,
           "a readable file read as", status);
    expect((r.status == Status::Empty) == bytes.isEmpty(), "emptiness misjudged:", status);
    if (r.status != Status::Complete)
        return;
    const QString fields[4] = {r.record.height, r.record.width, r.record.top, r.record.left};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const float v = NumberText::toSingle(fields[i], &ok);
        expect(ok && std::isfinite(r.geometry[i]) && v == r.geometry[i],
               "geometry of a complete record is not the number its field says", fields[i].left(80));
    }
}

void startUp(const SettingsFile::ReadResult &r) {
    using SettingsFile::Status;
    expect(LoadedForms::count() == 0 && messages().isEmpty(), "a window of an earlier start is still there");

    auto *form = new MainForm;
    const QPoint designPlace = form->frameGeometry().topLeft();
    form->Form_Load();
    form->show();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    // The port: the stored text when the record is complete, else the design-time text.
    const QString port = frmOptions::ref()->portvalue->text();
    expect(port == (r.status == Status::Complete ? r.record.port : QStringLiteral("514")),
           "the options dialog shows another port:", port.left(80));
    for (int i = 0; i < 4; ++i) {
        const QString stored[4] = {r.record.height, r.record.width, r.record.top, r.record.left};
        expect(form->windowgeometry[i] == (r.status == Status::Complete ? stored[i] : QString()),
               "windowgeometry is not what the file holds");
    }

    // Messages: the damaged file (from the options dialog's reading) and the failed bind, nothing else.
    int expected = r.status == Status::Damaged ? 1 : 0;
    const QList<QMessageBox *> boxes = messages();
    if (r.status == Status::Damaged) {
        const QString text = SettingsFile::damagedMessage(SettingsFile::path(), r);
        expect(std::count_if(boxes.begin(), boxes.end(), [&](QMessageBox *b) { return b->text() == text; }) ==
                   1,
               "the damaged file was not reported once");
    }
    quint16 wanted = 0;
    const bool valid = PortText::parse(port, &wanted);
    if (form->DudUDP.isBound()) {
        expect(valid && form->DudUDP.localPort() == wanted, "bound to another port than the dialog's");
    } else {
        ++expected;
        const QString name = valid ? QString::number(wanted) : QLatin1Char('"') + port + QLatin1Char('"');
        const QString head = QStringLiteral("Port %1 could not be opened: ").arg(name);
        expect(std::count_if(boxes.begin(), boxes.end(),
                             [&](QMessageBox *b) { return b->text().startsWith(head); }) == 1,
               "a failed bind was not reported once");
    }
    expect(boxes.size() == expected, "unexpected messages:", QString::number(boxes.size()));

    // The window: never lost off every screen, never below its minimum size.
    const QRect frame = form->frameGeometry();
    const float perX = Twips::perPixelX(form), perY = Twips::perPixelY(form);
    const QPoint slack(form->geometry().x() - frame.x() + 1, form->geometry().y() - frame.y() + 1);
    expect(
        onSomeScreen(frame), "the window is on no screen:",
        QStringLiteral("%1,%2 %3x%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height()));
    expect(frame.height() >= pixels(MainForm::MinHeight, perY) - 1 &&
               frame.width() >= pixels(MainForm::MinWidth, perX) - 1,
           "the window is below its minimum size");

    if (r.status == Status::Complete) {
        // Sizes: the stored ones, brought down to the desktop and raised to the window's minimum.
        const QSize desktop = QGuiApplication::primaryScreen()->availableVirtualSize();
        const float heightTwips =
            std::max(std::min(r.geometry[0], float(desktop.height()) * perY), MainForm::MinHeight);
        const float widthTwips =
            std::max(std::min(r.geometry[1], float(desktop.width()) * perX), MainForm::MinWidth);
        expect(std::abs(frame.height() - pixels(heightTwips, perY)) <= 1,
               "the stored height was not applied:",
               QStringLiteral("%1 px for %2").arg(frame.height()).arg(r.record.height.left(40)));
        expect(std::abs(frame.width() - pixels(widthTwips, perX)) <= 1, "the stored width was not applied:",
               QStringLiteral("%1 px for %2").arg(frame.width()).arg(r.record.width.left(40)));
        // Place: the stored one where some screen shows part of the window, else the design-time one.
        // A place within a pixel of that border is not judged. The window system may nudge a window that
        // is partly off the screen by up to its frame's width.
        const QPoint stored(pixels(r.geometry[3], perX), pixels(r.geometry[2], perY));
        int seen = 0;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                seen += onSomeScreen(QRect(stored + QPoint(dx, dy), frame.size())) ? 1 : 0;
        if (seen == 9)
            expect(near(frame.topLeft(), stored, slack), "the stored place was not applied:",
                   QStringLiteral("%1,%2 for %3,%4")
                       .arg(frame.x())
                       .arg(frame.y())
                       .arg(r.record.left.left(40), r.record.top.left(40)));
        else if (seen == 0)
            expect(near(frame.topLeft(), designPlace, slack),
                   "a place on no screen did not keep the design-time place:",
                   QStringLiteral("%1,%2 for %3,%4")
                       .arg(frame.x())
                       .arg(frame.y())
                       .arg(r.record.left.left(40), r.record.top.left(40)));
    } else {
        expect(near(frame.topLeft(), designPlace, slack), "no stored place, yet the window moved");
    }

    // The program goes on: close the socket, dismiss the messages, end the window.
    form->DudUDP.Close();
    qDeleteAll(messages());
    form->Form_Unload();
    delete form;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    expect(LoadedForms::count() == 0, "a form outlived the main window");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    if (const QByteArray every = qgetenv("ZARARE_FUZZ_STARTUP_EVERY"); !every.isEmpty())
        startUpEvery = std::max(1L, std::strtol(every.constData(), nullptr, 10));
    new QApplication(*argc, *argv); // lives for the whole run
    QApplication::setApplicationName(QStringLiteral("Zar-Are"));
    folder = new QTemporaryDir;
    if (!folder->isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        std::exit(2);
    }
    SettingsFile::setFolderForTesting(folder->path());
    path = SettingsFile::path();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile file(path);
        expect(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
               "the settings file could not be written");
    }
    const SettingsFile::ReadResult r = SettingsFile::read(path);
    checkRead(bytes, r);
    if (inputs++ % startUpEvery == 0) {
        sinceLeakCheck.push_back(bytes);
        startUp(r);
        if (sinceLeakCheck.size() >= LeakCheckEvery)
            checkForLeaks();
    }
    return 0;
}
