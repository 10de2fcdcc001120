#include "IdManager.h"

#include <cstddef>

IdManager::IdManager() : usedNum(1, true) {}

int IdManager::FindUnused() const {
    for (std::size_t i = 1; i < usedNum.size(); ++i) {
        if (!usedNum[i]) return static_cast<int>(i);
    }
    return 0;
}

int IdManager::Apply() {
    const int i = FindUnused();
    if (i == 0) {
        usedNum.push_back(true);
        return static_cast<int>(usedNum.size()) - 1;
    }
    usedNum[i] = true;
    return i;
}

// Only identifiers that Apply returned come back; anything else is ignored rather than
// indexing past the pool.
void IdManager::Back(int num) {
    if (num > 0 && static_cast<std::size_t>(num) < usedNum.size()) usedNum[num] = false;
}

bool IdManager::Check(int num) const { return num <= FindUnused(); }

int IdManager::Size() const { return static_cast<int>(usedNum.size()); }

bool IdManager::State(int num) const {
    return num >= 0 && static_cast<std::size_t>(num) < usedNum.size() && usedNum[num];
}
