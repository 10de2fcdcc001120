// Track association over plain data: the tracks carried between frames, their identifier pool
// and the frame's detections (nearest first, none claimed yet).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "Config.h"
#include "IdManager.h"
#include "RunState.h"
#include "StageGeometry.h"
#include "TrackingObject.h"

// What association did with one frame's detections, kept for reporting the frame.
struct AssociationRecord {
    // The detections as association left them: pieces of one obstacle pooled, completions of
    // one-sided matches appended.
    std::vector<DetectedObject> detections;
    // The detection each track was updated with, by identifier (unique among the live tracks).
    std::vector<std::pair<int32_t, DetectedObject>> taken;
    // Identifiers of the tracks started in the frame (new and split-off).
    std::vector<int32_t> started;
};

// The identifier of a track that has not been numbered yet (identifiers from the pool start at 1).
constexpr int32_t UNNUMBERED = 0;

// Updates a new track needs before it is numbered (given an identifier) and reported. A detection
// rests on the grid's average of up to GRID_AVERAGED_MEASUREMENTS frames' measurements at the
// default frame interval; where the grid averages fewer (a longer interval), a new obstacle is
// numbered once its own updates make up the rest, so that what one frame's noise shows never
// becomes a trajectory. 1 at the default frame interval.
int NumberedCount(const StageGeometry& geometry);

// The edges of what a frame's picture measured, where known: its road rows `ground` (the road
// leaves the picture's lower edge where its row is at or below the last row), and the column
// blocks holding its disparities. A detection cut off by one of them shows its visible part only.
struct FrameEdges {
    const int* ground = nullptr;
    const MeasuredBlocks* measured = nullptr;
};

// Brings run.preObject up to date with run.newObject: update, restart, split, coast, delete,
// create and merge tracks. When `record` is given it receives what the frame did (for reports).
void TrackAssociation(RunState& run, AssociationRecord* record = nullptr);

// Carries the tracks' predictions over the frame's interval (geometry.frameInterval_s, when it is
// not the camera's) and along the frame's ego motion `ego` (when known), then updates,
// restarts, splits, coasts and deletes them against the detections, starts tracks (seen through
// `geometry`) for unclaimed detections in the camera's detectable zone (bent along the car's path),
// sorts the tracks nearest first and merges near-duplicates. The detections are consumed: the list
// is empty afterwards. When `record` is given it receives what the frame did. A new track with
// fewer than NumberedCount updates is a candidate, searched after the tracks in preObject: it is
// kept in `candidates` (carried by the caller from frame to frame) until it is numbered and joins
// preObject, or is lost, or describes the obstacle a numbered track was updated with in the frame;
// where no list is given, such candidates last one frame. A detection that one of the frame's
// `edges` cuts off (nearer than the road the picture shows, or reaching the first or last column
// block holding disparities) starts no track, and corrects the distance of the track that takes it
// only where it is nearer than predicted.
void AssociateTracks(const StageGeometry& geometry, std::vector<TrackingObject>& preObject, IdManager& idNum,
                     std::vector<DetectedObject>& newObject, AssociationRecord* record = nullptr,
                     const EgoMotion& ego = EgoMotion{}, std::vector<TrackingObject>* candidates = nullptr,
                     const FrameEdges& edges = FrameEdges{});

// Index in record.detections of the detection the track was updated with in this frame, or -1
// when it coasted or its detection is no longer listed as it took it (a later search pooled it
// into another or removed it).
int TakenDetection(const AssociationRecord& record, const TrackingObject& track);

// Merges tracks that describe the same obstacle (distance within 5 %, centre within 0.5 m, width
// within 0.3 m); the record with more updates survives, and the other's identifier is freed.
void MergeDuplicateTracks(std::vector<TrackingObject>& preObject, IdManager& idNum);
