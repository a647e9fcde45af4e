#pragma once

namespace sorrelbox {

// Registers the forms' pictures (icons) of the GUI library; safe to call more than once.
void InitGuiResources();

}  // namespace sorrelbox
