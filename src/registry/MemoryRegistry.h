#pragma once

#include "registry/Registry.h"

#include <QByteArrayList>
#include <QHash>

// A registry held in memory, for tests: values by root, key and name, each with its type and bytes.
// Key paths and value names match without regard to case, as in the system registry. It counts the
// keys opened and closed so that callers can be checked for closing every key they opened.
class MemoryRegistry : public Registry {
public:
    // Stores a value, creating its key.
    void setValue(quint32 root, const QByteArray &key, const QByteArray &name, quint32 type,
                  const QByteArray &data);
    // Creates a key without values.
    void addKey(quint32 root, const QByteArray &key);
    // Makes every open of the key fail with `error` (AccessDenied, for instance).
    void refuseOpen(quint32 root, const QByteArray &key, long error);

    // Keys asked for, in order, whether the open succeeded or not.
    const QByteArrayList &openRequests() const { return openRequests_; }
    // The access rights of the last open request.
    quint32 lastAccess() const { return lastAccess_; }
    int opened() const { return opened_; }
    int closed() const { return closed_; }
    // Keys open now.
    int openKeys() const { return int(open_.size()); }

    long openKey(quint32 root, const QByteArray &path, quint32 access, Key &key) override;
    long queryValue(Key key, const QByteArray &name, quint32 &type, char *data, quint32 &size) override;
    long closeKey(Key key) override;

private:
    struct Value {
        quint32 type = 0;
        QByteArray data;
    };
    struct StoredKey {
        QHash<QByteArray, Value> values;
        long refusal = Success;
    };
    static QByteArray keyId(quint32 root, const QByteArray &key);

    QHash<QByteArray, StoredKey> keys_;
    QHash<Key, QByteArray> open_;
    Key nextKey_ = 1;
    QByteArrayList openRequests_;
    quint32 lastAccess_ = 0;
    int opened_ = 0;
    int closed_ = 0;
};
