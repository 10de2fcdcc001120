// Object labels of a real recording in KITTI's tracking label layout, one object in one frame a
// line of 17 fields separated by blanks:
//   frame track_id type truncated occluded alpha x1 y1 x2 y2 h w l x y z rotation_y
// in the frame of the camera the run's disparity belongs to (x right, y down, z forward, metres):
// x y z is the bottom centre of the object's 3D box, h w l its height, width and length, and
// rotation_y its heading about the camera's y axis (0: the box's length along x). The type is one
// of KITTI's (Car, Van, Truck, Pedestrian, Person_sitting, Cyclist, Tram, Misc, DontCare);
// "DontCare" lines mark regions, not objects, and are skipped. `truncated` (0 = wholly inside the
// picture) is a number, `occluded` an integer code (0 fully visible, 1 partly, 2 largely, 3
// unknown). Every field is exactly its number; blank lines are skipped; a (frame, track_id) pair
// appears once.
#pragma once

#include <istream>
#include <string>
#include <vector>

struct ObjectLabel {
    int frame;
    int id;             // KITTI's track_id: the object's identity over the frames
    std::string type;
    double truncated;
    int occluded;
    double h_m, w_m, l_m;
    double x_m, y_m, z_m;
    double rotationY;   // radians
};

// Whether an object is seen whole: not cut by the picture's edge (truncated 0) and at most partly
// occluded (occluded 0 or 1).
bool LabelVisible(const ObjectLabel& label);

// The box's footprint on the road, seen from the camera: its lateral extent and the distance of
// its nearest face (the nearest corner's z).
struct Footprint {
    double xLeft_m;
    double xRight_m;
    double zNearest_m;
};
Footprint FootprintOf(const ObjectLabel& label);

// `name` is the file name used in messages. A fault (a line that is not 17 fields of the layout,
// an unknown type, a negative size, a repeated object in a frame, a read error, a line or a file
// beyond its bound) is an InputError naming the file and line; nothing read before it is returned.
std::vector<ObjectLabel> ReadObjectLabels(std::istream& in, const std::string& name);
