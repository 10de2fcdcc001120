// Pool of track identifiers: 1, 2, 3, ... handed out lowest free first; 0 is reserved.
#pragma once

#include <vector>

class IdManager {
public:
    IdManager();

    int FindUnused() const;  // lowest free identifier >= 1, or 0 when none is free
    int Apply();             // reserves and returns an identifier
    void Back(int num);      // frees an identifier
    bool Check(int num) const;
    int Size() const;
    bool State(int num) const;

private:
    std::vector<bool> usedNum;  // index = identifier, true = in use
};
