#pragma once

#include <QByteArray>
#include <QtGlobal>

// Reads values of the system registry, one value of one key at a time, the way the registry's
// single-byte calls deliver them: open the key, query the value's type and raw bytes into the caller's
// buffer, close the key. Results are the system's error codes (0 for success). Keys and value names are
// single-byte text in the system code page.
class Registry {
public:
    // An open key, as handed out by openKey and taken back by closeKey.
    using Key = quintptr;

    // Predefined root keys as 32-bit handles.
    static constexpr quint32 LocalMachine = 0x80000002u;

    // Access rights: read-only access (query values, enumerate and notify) is all this program asks for.
    static constexpr quint32 KeyRead = 0x20019u;

    // Value types.
    static constexpr quint32 String = 1;       // text with its terminating zero byte
    static constexpr quint32 ExpandString = 2; // text with unexpanded environment references
    static constexpr quint32 Binary = 3;
    static constexpr quint32 Dword = 4; // 32-bit number, least significant byte first

    // Results.
    static constexpr long Success = 0;
    static constexpr long FileNotFound = 2;
    static constexpr long AccessDenied = 5;
    static constexpr long InvalidHandle = 6;
    static constexpr long MoreData = 234;

    virtual ~Registry();

    // Opens the key `path` under `root` with the given access rights; on success sets `key`.
    virtual long openKey(quint32 root, const QByteArray &path, quint32 access, Key &key) = 0;
    // Reads the value `name` of an open key: its type into `type` and its bytes into `data`, which holds
    // `size` bytes. On return `size` is the value's length in bytes; a value longer than the buffer
    // gives MoreData and leaves the buffer's contents undefined.
    virtual long queryValue(Key key, const QByteArray &name, quint32 &type, char *data, quint32 &size) = 0;
    virtual long closeKey(Key key) = 0;

    // The registry of the system the program runs on: the Windows registry on Windows; elsewhere
    // a PathToolRegistry.
    static Registry &system();

protected:
    // Copies a stored value into a caller's buffer as the system does, MoreData when it does not fit.
    static long deliver(quint32 storedType, const QByteArray &stored, quint32 &type, char *data,
                        quint32 &size);
};
