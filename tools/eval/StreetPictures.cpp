#include "StreetPictures.h"

#include "FileFrames.h"
#include "RunState.h"

std::vector<std::optional<RoadLine>> FitFrameRoads(const Camera& camera, const std::string& pattern,
                                                   std::optional<double> scale,
                                                   const std::vector<FrameResult>& results) {
    FileFrames frames(camera, FramePatterns{pattern, "", scale, false});
    RunState run(camera);
    FrameNames names{};
    std::vector<std::optional<RoadLine>> lines;
    for (const FrameResult& result : results) {
        std::string error;
        if (!frames.LoadDisparity(names, result.frame, run, error)) throw InputError(error);
        lines.push_back(FitFrameRoadLine(run));
    }
    return lines;
}
