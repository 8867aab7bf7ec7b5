#pragma once

#include <QByteArrayView>
#include <QString>

// Turns a datagram's bytes into the text the parser reads. Valid UTF-8 is decoded as UTF-8; anything
// else byte for byte as Latin-1, so no byte is ever lost or replaced. CR, LF and NUL at the very end are
// transport framing and are dropped, and so is a byte-order mark at the very start or right after the
// first ">".
namespace DatagramText {

QString decode(QByteArrayView bytes);
// The same text written into `out`, reusing its storage when no other string shares it: no allocation
// per datagram once the buffer has grown to the usual datagram size.
void decodeInto(QByteArrayView bytes, QString &out);
bool isValidUtf8(QByteArrayView bytes);

} // namespace DatagramText
