// Platform check every identifying agent runs before anything else.
#pragma once

// Reads the model code from the registry; prints the refusal message on standard output and
// returns false when the code is missing or not a supported model.
bool identifySupportedPlatform();
