// A header of the engine: the engine and the folders above it may include it.
#pragma once
