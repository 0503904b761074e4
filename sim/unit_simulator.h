#pragma once

#include "sim_command.h"
#include "sim_fault.h"
#include "sim_log.h"
#include "unit_protocol.h"

#include <QElapsedTimer>
#include <QObject>
#include <QRecursiveMutex>
#include <QTimer>

#include <memory>
#include <utility>
#include <vector>

class QIODevice;

namespace unitsim {

class OutputRunner;
class SimTransport;

// A simulated field unit, driven by the event loop of the thread it lives in.
//
// Serving (ServePty, ServeTcp, ServeDevice, Stop) must be called in the simulator's thread. Every
// other member may be called from any thread while it serves; command handlers run in the
// simulator's thread and may call the simulator back.
//
// Same thread as the code under test: works when that code waits by running the event loop.
// Anything that blocks the thread (a blocking read, a busy wait) stalls the unit as well; use
// SimThread then, and for timing measurements.
class UnitSimulator : public QObject
{
    Q_OBJECT
public:
    explicit UnitSimulator(QObject* parent = nullptr);
    ~UnitSimulator() override;

    // A pseudo-terminal published as a symbolic link at linkPath.
    bool ServePty(const QString& linkPath);
    // TCP on 127.0.0.1, one connection at a time; port 0 picks a free one (see TcpPort()).
    bool ServeTcp(quint16 port = 0);
    // An existing tty, opened when it appears (a device server's pseudo-terminal).
    bool ServeDevice(const QString& path);
    void Stop();
    quint16 TcpPort() const;
    QString ErrorString() const;
    // Where it serves, for people: "pty <link> -> <slave>", "tcp 127.0.0.1:<port>", ...
    QString LineDescription() const;

    // Commands. A command answers only with a handler and a reply length; otherwise it is not
    // supported (0xF9, or 0xFE to its command byte in handshake mode).
    void SetHandler(quint8 command, CommandHandler handler);
    // The same payload every time: bytes without the check byte, zero-filled to the reply length.
    void SetFixedPayload(quint8 command, const QByteArray& payload);
    void RemoveHandler(quint8 command);
    // Input taken as it comes between requests (not owned; must outlive the serving). nullptr: none.
    void SetRawInput(RawInput* input);

    // Faults for the n-th arrival of a command (from 1), or kEveryArrival.
    void SetFault(quint8 command, int arrival, const Fault& fault);
    void ClearFaults();
    // How many requests with this command code have started to arrive.
    int Arrivals(quint8 command) const;
    void ResetArrivals();

    // Detect for every command unless set otherwise.
    void SetHandshakePolicy(quint8 command, HandshakePolicy policy);
    void SetDefaultHandshakePolicy(HandshakePolicy policy);
    void SetBareStatus(bool bare);
    void SetPaced(bool paced);
    void SetTurnaround(int ms);
    // Not owned; must outlive the simulator or be unset. nullptr: no log.
    void SetLogDevice(QIODevice* device);

signals:
    // The first byte of a request came; arrival counts from 1 per command.
    void CommandArrived(quint8 command, int arrival);

private:
    template <typename Step> void RunProtocol(Step step);
    bool Serve(std::unique_ptr<SimTransport> transport);
    void DropLink(int downMs);
    void ResetLine();
    qint64 Now() const { return clock_.elapsed(); }

    mutable QRecursiveMutex mutex_;
    SimLog log_;
    UnitProtocol protocol_;
    OutputRunner* runner_;
    // Members with a parent move to the simulator's thread along with it.
    QTimer wakeTimer_{this};
    QElapsedTimer clock_;
    std::unique_ptr<SimTransport> transport_;
    quint16 tcpPort_ = 0;
    QString error_;
    std::vector<std::pair<quint8, int>> arrived_;
};

} // namespace unitsim
