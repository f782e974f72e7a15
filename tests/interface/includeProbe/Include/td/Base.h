// A header of td, the lowest level: every folder may include it.
#pragma once
