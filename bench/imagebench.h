#pragma once

class ERScene;

// The image workloads' diagram: 120 boxes of 9 rows in a 12 x 10 grid with 150 relationships,
// routed, in the application's fonts.
void buildImageBenchDiagram(ERScene &scene);
