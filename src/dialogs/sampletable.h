#pragma once

// The sample table the entity colour previews draw: a title and four rows, the first a
// key row.
namespace sampletable {

struct Row
{
    const char *name;
    const char *type;
};

constexpr const char *Title = "customer";
constexpr int RowCount = 4;
constexpr Row Rows[RowCount] = {
    {"id_customer", "uuid"},
    {"name", "varchar"},
    {"email", "varchar"},
    {"created_at", "timestamp"},
};

} // namespace sampletable
