// The unit link's own cost per transaction against the simulated unit in a thread of its own:
// the time it adds to a paced exchange at 115200 baud, and the CPU time of the server's thread.
#include "transaction_figures.h"

#include "reply_length.h"

#include <QApplication>

#include <cstdio>

namespace {

constexpr double kByteTimeUs = 1e6 * 10 / 115200;
constexpr double kOverheadTarget = 1.05;
constexpr double kCpuTargetUs = 50;
constexpr int kPacedTransactions = 200;
constexpr int kCpuTransactions = 10'000;
constexpr int kWarmUp = 20;

const char* Verdict(bool met)
{
    return met ? "met" : "MISSED";
}

void ServeCommand(SimLine& line, UnitCommand command)
{
    QByteArray payload(ReplyLength(command) - 1, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 31 + 7);
    line.Sim().SetFixedPayload(command, payload);
}

bool Overhead(Wire wire)
{
    SimLine line(wire, LinkTimings{});
    if (!line.Ready()) {
        std::printf("%-4s  line not ready: %s\n", WireName(wire), qPrintable(line.Problem()));
        return false;
    }
    line.Sim().SetTurnaround(0);
    line.Sim().SetPaced(true);
    bool met = true;
    for (const UnitCommand command : {CmdReadStatus, CmdReadLogPage}) {
        ServeCommand(line, command);
        TransactionTimes(line, command, kWarmUp);
        const std::vector<qint64> times = TransactionTimes(line, command, kPacedTransactions);
        const int frameBytes = kRequestFrameSize + 1 + ReplyLength(command);
        const double wireUs = frameBytes * kByteTimeUs;
        const double meanUs = Mean(times) / 1000;
        const double medianUs = Median(times) / 1000;
        // The request leaves at once on these lines: what the unit's reply does not explain.
        const double beyondReplyUs = meanUs - (1 + ReplyLength(command)) * kByteTimeUs;
        const bool ok = int(times.size()) == kPacedTransactions && meanUs <= kOverheadTarget * wireUs;
        met = met && ok;
        std::printf("%-4s  %7d  %11d  %12.1f  %8.1f  %9.1f  %9.3f  %11.3f  %15.1f  %6d  %s\n", WireName(wire),
                    int(command), frameBytes, wireUs, meanUs, medianUs, meanUs / wireUs, medianUs / wireUs,
                    beyondReplyUs, kPacedTransactions - int(times.size()), Verdict(ok));
    }
    return met;
}

bool Cpu(Wire wire)
{
    SimLine line(wire, LinkTimings{});
    if (!line.Ready()) {
        std::printf("%-4s  line not ready: %s\n", WireName(wire), qPrintable(line.Problem()));
        return false;
    }
    ServeCommand(line, CmdReadStatus);
    TransactionCpu(line, CmdReadStatus, kWarmUp);
    const CpuFigures figures = TransactionCpu(line, CmdReadStatus, kCpuTransactions);
    const bool ok = figures.failures == 0 && figures.cpuUs <= kCpuTargetUs;
    std::printf("%-4s  %13.2f  %14.2f  %6d  %s\n", WireName(wire), figures.cpuUs, figures.wallUs,
                figures.failures, Verdict(ok));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    // The server waits under a QApplication: its event dispatcher is the one to measure.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("Overhead: %d transactions each after %d to warm up; unit paced at 115200 baud "
                "(%.1f us a byte), zero turnaround; target mean <= %.2f x wire time of request and reply\n",
                kPacedTransactions, kWarmUp, kByteTimeUs, kOverheadTarget);
    std::printf("wire  command  frame bytes  wire time us  mean us  median us  mean/wire  median/wire  "
                "beyond reply us  failed  target\n");
    bool met = true;
    for (Wire wire : {Wire::Pty, Wire::Tcp})
        met = Overhead(wire) && met;
    std::printf("\nCPU: server thread CPU time per transaction, %d transactions of command %d against the "
                "unpaced unit; target <= %.0f us\n",
                kCpuTransactions, int(CmdReadStatus), kCpuTargetUs);
    std::printf("wire  cpu us/trans.  wall us/trans.  failed  target\n");
    for (Wire wire : {Wire::Pty, Wire::Tcp})
        met = Cpu(wire) && met;
    return met ? 0 : 1;
}
