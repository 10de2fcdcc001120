// Track association over plain data: the tracks carried between frames, their identifier pool
// and the frame's detections (nearest first, none claimed yet).
#pragma once

#include <vector>

#include "Config.h"
#include "IdManager.h"
#include "TrackingObject.h"

// Updates, restarts, splits, coasts and deletes the tracks against the detections, starts tracks
// for unclaimed detections in the detectable zone, sorts the tracks nearest first and merges
// near-duplicates. The detections are consumed: the list is empty afterwards.
void AssociateTracks(std::vector<TrackingObject>& preObject, IdManager& idNum,
                     std::vector<DetectedObject>& newObject);

// Merges tracks that describe the same obstacle (distance within 5 %, centre within 0.5 m, width
// within 0.3 m); the record with more updates survives, and the other's identifier is freed.
void MergeDuplicateTracks(std::vector<TrackingObject>& preObject, IdManager& idNum);
