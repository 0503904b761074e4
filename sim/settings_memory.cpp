#include "settings_memory.h"

#include "unit_model.h"
#include "unit_simulator.h"

namespace unitsim {

namespace {
constexpr quint8 kReadModel = 14, kReadSettingsBlock = 20;
constexpr quint8 kMenuBusy = 0xFA, kNotSupported = 0xF9;
constexpr int kModelField = 32;

bool Busy(const UnitModel& model)
{
    return model.state().mode == UnitMode::MenuBusy;
}
} // namespace

QByteArray SettingsMemory::image() const
{
    QMutexLocker lock(&mutex_);
    return image_;
}

void SettingsMemory::setImage(const QByteArray& image)
{
    QByteArray sized = image.left(kSettingsImageSize);
    sized.append(QByteArray(kSettingsImageSize - sized.size(), '\0'));
    QMutexLocker lock(&mutex_);
    image_ = sized;
}

CommandAnswer SettingsMemory::readBlock(const QByteArray& request) const
{
    const int block = quint8(request.at(1));
    if (block >= kSettingsBlocks)
        return CommandAnswer::statusOnly(kNotSupported);
    QMutexLocker lock(&mutex_);
    return CommandAnswer::data(image_.mid(block * kSettingsBlockSize, kSettingsBlockSize) + char(block));
}

CommandAnswer ReadModel(const UnitModel& model)
{
    QByteArray payload(kModelField, '\0');
    const QByteArray name = model.state().identity.model.toLatin1().left(kModelField - 1);
    payload.replace(0, name.size(), name);
    return CommandAnswer::data(payload);
}

void InstallSettingsCommands(UnitSimulator& sim, UnitModel& model, SettingsMemory& memory)
{
    sim.setHandler(kReadModel, [&model](const QByteArray&) {
        return Busy(model) ? CommandAnswer::statusOnly(kMenuBusy) : ReadModel(model);
    });
    sim.setHandler(kReadSettingsBlock, [&model, &memory](const QByteArray& r) {
        return Busy(model) ? CommandAnswer::statusOnly(kMenuBusy) : memory.readBlock(r);
    });
}

} // namespace unitsim
