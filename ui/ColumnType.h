#pragma once

// The columns of the download list. The table model has one column per type, in this
// order; the header hides the columns that are not shown.
enum ColumnType : int {
    COL_ID = 0,
    COL_FILE_NAME = 1,
    COL_SIZE = 2,
    COL_PROGRESS = 3,
    COL_SPEED = 4,
    COL_TRANSFERRED = 5,
    COL_REMAINING = 6,
    COL_SOURCE = 7,
    COL_COUNT = 8,
};
