#pragma once

#include "scripted_peer.h"

#include <QSocketNotifier>
#include <QTemporaryDir>

#include <memory>

// A scripted unit on the master side of a pseudo-terminal. The link opens a symlink to the slave,
// so the device can vanish (master closed, symlink removed) and come back on a new terminal.
class PtyPeer : public ScriptedPeer
{
    Q_OBJECT
public:
    PtyPeer();
    ~PtyPeer() override;

    QString DevicePath() const;
    void Vanish();
    void Plug();
    void Send(const QByteArray& bytes) override;

private:
    void ReadMaster();

    QTemporaryDir dir_;
    int master_ = -1;
    int slave_ = -1; // held open so that the master never reads a hang-up
    std::unique_ptr<QSocketNotifier> notifier_;
};
