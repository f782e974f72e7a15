// A header of the lowest level: every folder may include it.
#pragma once
