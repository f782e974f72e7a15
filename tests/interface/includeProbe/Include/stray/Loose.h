// A public header outside every level's folder.
#pragma once
