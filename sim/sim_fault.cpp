#include "sim_fault.h"

#include <algorithm>

namespace unitsim {

namespace {
Fault make(Fault::Kind kind, int count = 0, int gapMs = 0, quint8 value = 0)
{
    Fault f;
    f.kind = kind;
    f.count = count;
    f.gapMs = gapMs;
    f.value = value;
    return f;
}
} // namespace

Fault Fault::delay(int ms)
{
    return Fault{}.withDelay(ms);
}

Fault Fault::silence()
{
    return make(Kind::Silence);
}

Fault Fault::shortReply(int missing)
{
    return make(Kind::ShortReply, missing);
}

Fault Fault::longReply(int extra, quint8 value)
{
    return make(Kind::LongReply, extra, 0, value);
}

Fault Fault::splitReply(int firstBytes, int gapMs)
{
    return make(Kind::SplitReply, firstBytes, gapMs);
}

Fault Fault::garbagePrefix(int count, quint8 value)
{
    return make(Kind::GarbagePrefix, count, 0, value);
}

Fault Fault::badCheck()
{
    return make(Kind::BadCheck);
}

Fault Fault::status(quint8 status)
{
    return make(Kind::Status, 0, 0, status);
}

Fault Fault::wrongAck(int step, quint8 value)
{
    return make(Kind::WrongAck, 0, 0, value).atStep(step);
}

Fault Fault::drop(int downMs)
{
    return make(Kind::Drop, 0, downMs);
}

Fault Fault::atStep(int handshakeStep) const
{
    Fault f = *this;
    f.step = handshakeStep;
    return f;
}

Fault Fault::withDelay(int ms) const
{
    Fault f = *this;
    f.delayMs = ms;
    return f;
}

QString Fault::describe() const
{
    static const char* const names[] = {
        "none",           "silence",   "short reply", "long reply", "split reply",
        "garbage prefix", "bad check", "status",      "wrong ack",  "drop"};
    QString text = QString::fromLatin1(names[int(kind)]);
    if (kind == Kind::Status || kind == Kind::WrongAck || kind == Kind::GarbagePrefix ||
        kind == Kind::LongReply)
        text += QStringLiteral(" 0x%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
    if (count != 0)
        text += QStringLiteral(" count %1").arg(count);
    if (gapMs != 0)
        text += QStringLiteral(" gap %1 ms").arg(gapMs);
    if (delayMs != 0)
        text += QStringLiteral(" after %1 ms").arg(delayMs);
    if (step != kReplyStep)
        text += QStringLiteral(" at byte %1").arg(step);
    return text;
}

SimActions shapeAnswer(const QByteArray& answer, const Fault& fault, int turnaroundMs)
{
    SimActions actions;
    if (fault.kind == Fault::Kind::Silence)
        return actions;
    if (const int wait = turnaroundMs + fault.delayMs; wait > 0)
        actions.push_back(SimAction::wait(wait));

    QByteArray bytes = answer;
    switch (fault.kind) {
    case Fault::Kind::Drop:
        actions.push_back(SimAction::drop(fault.gapMs));
        return actions;
    case Fault::Kind::SplitReply: {
        const qsizetype first = std::clamp<qsizetype>(fault.count, 0, bytes.size());
        actions.push_back(SimAction::write(bytes.first(first)));
        actions.push_back(SimAction::wait(fault.gapMs));
        bytes = bytes.sliced(first);
        break;
    }
    case Fault::Kind::ShortReply:
        bytes.chop(fault.count);
        break;
    case Fault::Kind::LongReply:
        bytes += QByteArray(fault.count, char(fault.value));
        break;
    case Fault::Kind::GarbagePrefix:
        bytes.prepend(QByteArray(fault.count, char(fault.value)));
        break;
    case Fault::Kind::BadCheck:
        if (!bytes.isEmpty())
            bytes.back() = char(~quint8(bytes.back()));
        break;
    default:
        break;
    }
    if (!bytes.isEmpty())
        actions.push_back(SimAction::write(bytes));
    return actions;
}

} // namespace unitsim
