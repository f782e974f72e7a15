// A header of the solvers, reached from the engine by a relative path.
#pragma once
