#pragma once

class ProjectItem;

namespace bench {

// Fills project with the large project of the model workloads: one PostgreSQL model of
// 2,000 tables of 30 columns (a primary key, two foreign keys and two indexes each),
// 1,000 relationships and 20 diagrams, each storing 100 entities and 100 edges.
void buildLargeProject(ProjectItem &project);

} // namespace bench
