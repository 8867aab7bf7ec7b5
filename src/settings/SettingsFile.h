#pragma once

#include <QString>
#include <QStringList>

// The settings file "Zar-Are.ini" beside the program: one record of five comma-separated text fields,
// port, window height, width, top and left (the geometry in twips), e.g. "514,2580,7695,5085,5430".
struct SettingsRecord {
    QString port;
    QString height;
    QString width;
    QString top;
    QString left;
};

namespace SettingsFile {

constexpr const char *FileName = "Zar-Are.ini";
// Only this much of a file is read: a record is a few dozen bytes.
constexpr qint64 MaxBytes = 64 * 1024;

// The settings folder, the platform's separator, then the file name. The folder is the program's own,
// unless the user cannot write there or it is the folder the program was installed to: then it is the
// user's configuration folder (~/.config/Zar-Are on Linux).
QString path();
QString resolveFolder(const QString &programFolder, const QStringList &installedFolders,
                      const QString &userFolder);
// Tests keep their settings files in a folder of their own; an empty folder restores the default.
void setFolderForTesting(const QString &folder);

// True when `path` names an ordinary file: not a folder, not a hidden file.
bool FileExists(const QString &path);

enum class Status {
    Missing,    // no file (or not one FileExists sees)
    Empty,      // a file with nothing in it: nothing to apply, nothing to report
    Complete,   // five fields, the last four numbers
    Damaged,    // fewer than five fields, or geometry that is not a number
    Unreadable, // the file could not be opened or read
};

struct ReadResult {
    Status status = Status::Missing;
    SettingsRecord record;
    float geometry[4] = {0, 0, 0, 0}; // height, width, top, left, when Complete
    QString reason;                   // why the file could not be read, when Unreadable
};

ReadResult read(const QString &path);

// The record as written: fields joined by commas, geometry with "." as decimal separator, ending with
// CR LF.
QByteArray format(const SettingsRecord &record);

// Replaces the file in one step (a temporary file in the same folder, then a rename), so that a crash
// or a full disk never leaves a partial file. On failure returns false and the reason.
bool write(const QString &path, const SettingsRecord &record, QString *reason);

// The sentence the user sees when a file cannot be used at start-up or by the options dialog.
QString damagedMessage(const QString &path, const ReadResult &result);

} // namespace SettingsFile
