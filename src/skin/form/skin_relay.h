#pragma once

// Passing skin notifications on from a form to its skinned controls.
//
// A skin data announces a skin change to the forms (skin_broadcast.h); the
// form passes it on to every skinned control it holds, nested ones included:
// WM_SKINDATA_CHANGING makes each control whose skin data is the sender drop
// its object before the skin data frees it, WM_SKINDATA_CHANGED makes each
// of them find its object in the new skin and adapt its size.

#include <cstdint>

#include "framework/forms.h"
#include "skin/data/skin_data.h"

namespace skin {

// Relays one notification (`message` from `sender`) to the controls of
// `form`. Other messages are ignored.
void RelaySkinChange(framework::TForm& form, uint32_t message, TbsSkinData* sender);

// Makes `form` relay the notifications it receives: a hook in its
// WindowProc slot that relays and then passes every message on to the
// procedure it replaced. The form keeps it for its lifetime. A form with a
// skinned frame needs none: the frame relays (skin_form.h).
void InstallSkinRelay(framework::TForm& form);

}  // namespace skin
