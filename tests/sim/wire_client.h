#pragma once

#include <QByteArray>
#include <QSerialPort>
#include <QTcpSocket>

#include <memory>

// A test's end of the unit's line, read blocking with time limits. The simulator must run in
// another thread (SimThread) for these to get answers.

// A pseudo-terminal (or any tty) by path, raw like a serial port; nullptr when it cannot be opened.
std::unique_ptr<QSerialPort> OpenTty(const QString& path);
// A connection to a TCP port of 127.0.0.1; nullptr when none is made.
std::unique_ptr<QTcpSocket> ConnectTcp(quint16 port);
void Send(QIODevice& line, const QByteArray& bytes);
// Up to n bytes, returning early only when the time is up.
QByteArray Read(QIODevice& line, int n, int timeoutMs);
// Everything that comes until nothing has come for quietMs.
QByteArray ReadUntilQuiet(QIODevice& line, int quietMs);
