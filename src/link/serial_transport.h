#pragma once

#include "transport.h"

#include <QSerialPort>

// A unit on a serial port: 115200 baud, 8 data bits, no parity, 1 stop bit, no flow control.
class SerialTransport : public Transport
{
    Q_OBJECT
public:
    explicit SerialTransport(QObject* parent = nullptr);

    // Closes the port and opens devicePath; the path is kept for Reset().
    bool Open(const QString& devicePath);
    const QString& DevicePath() const { return devicePath_; }
    // The system's reason why the last Open() failed; empty when it opened.
    const QString& OpenError() const { return openError_; }

    bool IsOpen() const override;
    bool Failed() const override;
    bool DiscardInput() override;
    bool Write(const QByteArray& bytes) override;
    qint64 BytesAvailable() const override;
    QByteArray ReadAll() override;
    void Close() override;
    void Reset() override;
    void SetReading(bool on) override;

private:
    QSerialPort port_;
    QString devicePath_;
    QString openError_;
    bool broken_ = false;
};
