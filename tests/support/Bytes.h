#pragma once

// Bytes as the tests expect them on the wire, written out by the tests
// themselves, so that a fault in the tool's frame code is not shared by the
// checks of it.

#include <QByteArray>
#include <QtGlobal>

inline quint8 byteSumOf(const QByteArray &bytes)
{
    quint8 sum = 0;
    for (char byte : bytes)
        sum = quint8(sum + quint8(byte));
    return sum;
}

// A command frame of `size` bytes: report ID 0x11, the sync bytes, group,
// code, the payload's length, the payload from byte 7, zeros elsewhere. As
// the tool writes a request; a reply adds its checksum in the last byte.
inline QByteArray commandFrame(quint8 group, quint8 code, const QByteArray &payload = QByteArray(), int size = 64)
{
    QByteArray frame(size, '\0');
    frame[0] = char(0x11);
    frame[1] = char(0x22);
    frame[2] = char(0x33);
    frame[3] = char(group);
    frame[4] = char(code);
    frame[5] = char(payload.size());
    for (int i = 0; i < payload.size() && 7 + i < size; ++i)
        frame[7 + i] = payload.at(i);
    return frame;
}

// A firmware image of reproducible noise whose first byte is not zero, so
// that the image checks take it. Each seed gives an image of its own; about
// half the bytes are above 0x7F, so a sum taken over signed chars comes out
// wrong.
inline QByteArray noiseImage(int size, quint32 seed = 2463534242u)
{
    QByteArray image(size, '\0');
    quint32 state = seed ? seed : 1;
    for (char &byte : image) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = char(state);
    }
    if (size > 0)
        image[0] = char(0x5A);
    return image;
}
