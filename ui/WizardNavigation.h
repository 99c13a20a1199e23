// Which page of a wizard Next and Back lead to: the nearest page in that direction whose skip flag
// is clear. Indices are those of the frame's page list; -1 means none. No Qt here.
#pragma once

#include <vector>

// The first page after `current` that is not skipped; with no current page (-1) the search starts
// after page 0. -1 for an empty list or when every later page is skipped.
int NextPageIndex(const std::vector<bool>& skipped, int current);
// The nearest page before `current` that is not skipped; -1 when current is the first page, is not
// in the list, or every earlier page is skipped.
int PreviousPageIndex(const std::vector<bool>& skipped, int current);
