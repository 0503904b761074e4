#include "serial_transport.h"

#include <QSocketNotifier>

SerialTransport::SerialTransport(QObject* parent) : Transport(parent)
{
    connect(&port_, &QSerialPort::readyRead, this, &Transport::BytesArrived);
    connect(&port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError)
            broken_ = true;
    });
}

bool SerialTransport::Open(const QString& devicePath)
{
    Close();
    devicePath_ = devicePath;
    port_.setPortName(devicePath);
    if (!port_.open(QIODevice::ReadWrite)) {
        openError_ = port_.errorString();
        return false;
    }
    openError_.clear();
    port_.setBaudRate(QSerialPort::Baud115200);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    // The units expect both modem lines low. A pseudo-terminal has no modem lines: its refusal
    // is no fault of the port.
    port_.setDataTerminalReady(false);
    port_.setRequestToSend(false);
    port_.clearError();
    broken_ = false;
    SetReading(false);
    return true;
}

bool SerialTransport::IsOpen() const
{
    return port_.isOpen();
}

bool SerialTransport::Failed() const
{
    return broken_ || !port_.isOpen();
}

bool SerialTransport::DiscardInput()
{
    if (Failed())
        return false;
    port_.clear(QSerialPort::Input);
    port_.readAll();
    return !Failed();
}

bool SerialTransport::Write(const QByteArray& bytes)
{
    return !Failed() && port_.write(bytes) == bytes.size();
}

qint64 SerialTransport::BytesAvailable() const
{
    return port_.bytesAvailable();
}

QByteArray SerialTransport::ReadAll()
{
    return port_.readAll();
}

void SerialTransport::Close()
{
    port_.close();
    port_.clearError();
    broken_ = false;
}

void SerialTransport::Reset()
{
    Open(devicePath_);
}

void SerialTransport::SetReading(bool on)
{
    // QSerialPort reads an open port all the time, through a notifier of its own, and offers no
    // way to pause it. Each notifier is one more descriptor that every wait of the event loop
    // polls: with one port per unit, a turn would cost more the more units there are. A port that
    // is not read still holds what arrives, and its transaction discards that first. Reading the
    // port resumes the notifier too.
    for (QSocketNotifier* notifier : port_.findChildren<QSocketNotifier*>()) {
        if (notifier->type() == QSocketNotifier::Read)
            notifier->setEnabled(on);
    }
}
