#pragma once

#include <vector>

#include "model/panel_document.h"

namespace vornisel::test {

// The documents the save loop writes in turn: small, middling and large, so a kill can land in
// any part of a write. Fixed values (no clock) so that every process builds the same ones.
const std::vector<PanelDocument>& knownDocuments();

}  // namespace vornisel::test
