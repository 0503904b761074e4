#pragma once

#include "settings_form_values.h"

#include <unit/settings_image_layout.h>

#include <span>

// What the settings dialog shows for a unit's settings image: model kind 0 reads the
// twenty-sensor layout, any other kind the eight-sensor one. Reads only the filled copies,
// never past a field or the image; a byte that no list holds selects nothing.
SettingsFormValues DecodeSettingsForm(int modelKind, const QString& model, std::span<const quint8> image);
// The same for a twenty-sensor model known to show bypass hours (bypassModel) or the SG-2 choice.
SettingsFormValues DecodeSettingsFormOfVariant(int modelKind, bool bypassModel,
                                               std::span<const quint8> image);

// The position of a type code in a row's type list: the code itself on an analog row, the
// code less 2 on a digital row (which offers the probe and the contacts only).
int TypeIndexOf(const SettingsLayout& layout, int row, int code);
int TypeCodeAt(const SettingsLayout& layout, int row, int index);

// A twenty-sensor model with bypass hours instead of the SG-2 selector.
bool IsBypassModel(const QString& model);
