#include "serial_transport.h"

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
