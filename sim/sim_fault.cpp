#include "sim_fault.h"

#include <algorithm>

namespace unitsim {

namespace {
Fault Make(Fault::Kind kind, int count = 0, int gapMs = 0, quint8 value = 0)
{
    Fault f;
    f.kind = kind;
    f.count = count;
    f.gapMs = gapMs;
    f.value = value;
    return f;
}
} // namespace

Fault Fault::Delay(int ms)
{
    return Fault{}.WithDelay(ms);
}

Fault Fault::Silence()
{
    return Make(Kind::Silence);
}

Fault Fault::ShortReply(int missing)
{
    return Make(Kind::ShortReply, missing);
}

Fault Fault::LongReply(int extra, quint8 value)
{
    return Make(Kind::LongReply, extra, 0, value);
}

Fault Fault::SplitReply(int firstBytes, int gapMs)
{
    return Make(Kind::SplitReply, firstBytes, gapMs);
}

Fault Fault::GarbagePrefix(int count, quint8 value)
{
    return Make(Kind::GarbagePrefix, count, 0, value);
}

Fault Fault::BadCheck()
{
    return Make(Kind::BadCheck);
}

Fault Fault::Status(quint8 status)
{
    return Make(Kind::Status, 0, 0, status);
}

Fault Fault::WrongAck(int step, quint8 value)
{
    return Make(Kind::WrongAck, 0, 0, value).AtStep(step);
}

Fault Fault::Drop(int downMs)
{
    return Make(Kind::Drop, 0, downMs);
}

Fault Fault::AtStep(int handshakeStep) const
{
    Fault f = *this;
    f.step = handshakeStep;
    return f;
}

Fault Fault::WithDelay(int ms) const
{
    Fault f = *this;
    f.delayMs = ms;
    return f;
}

QString Fault::Describe() const
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

SimActions ShapeAnswer(const QByteArray& answer, const Fault& fault, int turnaroundMs)
{
    SimActions actions;
    if (fault.kind == Fault::Kind::Silence)
        return actions;
    if (const int wait = turnaroundMs + fault.delayMs; wait > 0)
        actions.push_back(SimAction::Wait(wait));

    QByteArray bytes = answer;
    switch (fault.kind) {
    case Fault::Kind::Drop:
        actions.push_back(SimAction::Drop(fault.gapMs));
        return actions;
    case Fault::Kind::SplitReply: {
        const qsizetype first = std::clamp<qsizetype>(fault.count, 0, bytes.size());
        actions.push_back(SimAction::Write(bytes.first(first)));
        actions.push_back(SimAction::Wait(fault.gapMs));
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
        actions.push_back(SimAction::Write(bytes));
    return actions;
}

} // namespace unitsim
