#include "ui/WizardNavigation.h"

#include <cstddef>

int NextPageIndex(const std::vector<bool>& skipped, int current)
{
    const int count = static_cast<int>(skipped.size());
    for (int index = current < 0 ? 1 : current + 1; index < count; ++index)
        if (!skipped[static_cast<size_t>(index)])
            return index;
    return -1;
}

int PreviousPageIndex(const std::vector<bool>& skipped, int current)
{
    if (current <= 0 || current >= static_cast<int>(skipped.size()))
        return -1;
    for (int index = current - 1; index >= 0; --index)
        if (!skipped[static_cast<size_t>(index)])
            return index;
    return -1;
}
