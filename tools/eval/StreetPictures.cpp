#include "StreetPictures.h"

#include "FileFrames.h"
#include "RoadStages.h"
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
        if (!run.disparityValuesGiven) DecodePicture(run.geometry, DisparityPictureOf(run), run.measuredDisparity.data(), run.roadClasses.data());
        lines.push_back(FitRoadLine(run.measuredDisparity.data(), camera.width_pix, camera.height_pix, camera.u0_pix,
                                    camera.v0_pix));
    }
    return lines;
}
