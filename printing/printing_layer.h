// Installs the printing layer into the viewer: the shells call it once,
// before they make their application root.
#pragma once

void PrintingLayerInstall();
