#include "registry/MemoryRegistry.h"

QByteArray MemoryRegistry::keyId(quint32 root, const QByteArray &key) {
    return QByteArray::number(root, 16) + ':' + key.toLower();
}

void MemoryRegistry::setValue(quint32 root, const QByteArray &key, const QByteArray &name, quint32 type,
                              const QByteArray &data) {
    keys_[keyId(root, key)].values.insert(name.toLower(), Value{type, data});
}

void MemoryRegistry::addKey(quint32 root, const QByteArray &key) {
    keys_[keyId(root, key)];
}

void MemoryRegistry::refuseOpen(quint32 root, const QByteArray &key, long error) {
    keys_[keyId(root, key)].refusal = error;
}

long MemoryRegistry::openKey(quint32 root, const QByteArray &path, quint32 access, Key &key) {
    key = 0;
    openRequests_ << path;
    lastAccess_ = access;
    const auto found = keys_.constFind(keyId(root, path));
    if (found == keys_.constEnd())
        return FileNotFound;
    if (found->refusal != Success)
        return found->refusal;
    key = nextKey_++;
    open_.insert(key, found.key());
    ++opened_;
    return Success;
}

long MemoryRegistry::queryValue(Key key, const QByteArray &name, quint32 &type, char *data, quint32 &size) {
    const auto open = open_.constFind(key);
    if (open == open_.constEnd())
        return InvalidHandle;
    const StoredKey &stored = keys_[*open];
    const auto value = stored.values.constFind(name.toLower());
    if (value == stored.values.constEnd())
        return FileNotFound;
    return deliver(value->type, value->data, type, data, size);
}

long MemoryRegistry::closeKey(Key key) {
    if (open_.remove(key) == 0)
        return InvalidHandle;
    ++closed_;
    return Success;
}
