#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

namespace unitsim {

// Non-blocking reads and writes on a tty file descriptor, driven by the event loop. Owns the
// descriptor and closes it when destroyed.
class FdLink : public QObject
{
    Q_OBJECT
public:
    // fd must be non-blocking.
    explicit FdLink(int fd, QObject* parent = nullptr);
    ~FdLink() override;

    void Write(const QByteArray& bytes);

signals:
    void Received(const QByteArray& bytes);
    // The other end of the tty is gone (end of file or an I/O error).
    void Hangup();

private:
    void ReadAll();
    void Flush();
    void Fail();

    int fd_;
    QSocketNotifier readNotifier_;
    QSocketNotifier writeNotifier_;
    QByteArray pending_;
};

} // namespace unitsim
