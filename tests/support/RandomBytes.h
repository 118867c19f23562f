#pragma once

#include <QByteArray>
#include <QRandomGenerator>

// Bytes that compress badly and agree with no other run by chance, drawn
// from `random` so a test's seed makes them the same on every run.
inline QByteArray randomBytes(QRandomGenerator& random, qsizetype n) {
    QByteArray bytes(n, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(random.bounded(256));
    return bytes;
}
