// The settings dialog's values read from any settings image, and the writer's encoding of them.
#include "fuzz_support.h"

#include <settings/settings_form_fill.h>
#include <settings/settings_writer.h>

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, std::size_t size)
{
    // The input repeated over the whole image: no input is all zeros, one 0xFF byte all 0xFF.
    SettingsImage image{};
    for (std::size_t i = 0; size > 0 && i < image.size(); ++i)
        image[i] = data[i % size];
    const QString models[] = {QStringLiteral("TELVARON-1"), QStringLiteral("TELVARON-1G"),
                              QStringLiteral("TELVARON-2")};
    for (const QString& model : models) {
        const int kind = ModelKindOf(model);
        const SettingsFormValues values = DecodeSettingsForm(kind, model, image);
        Require(int(values.rows.size()) == LayoutFor(kind).inputs.sensors);
        if (CheckSettingsForm(values))
            continue;
        // Values that pass the checks encode, and what they encode reads back to the same image.
        SettingsImage once = image;
        Require(EncodeSettingsForm(values, once));
        SettingsImage twice = once;
        Require(EncodeSettingsForm(DecodeSettingsForm(kind, model, once), twice));
        Require(once == twice);
    }
    return 0;
}
