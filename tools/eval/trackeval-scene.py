#!/usr/bin/env python3
"""Scores obstacle-track's MOT and KITTI tracking files of a rendered scene with TrackEval.

  trackeval-scene.py --trackeval DIR --truth TRUTH.CSV --camera CAMERA.TXT --mot RUN.MOT --kitti RUN.KITTI

The scene's truth (scene-render --truth: frame from 1, id, the box's face distance, lateral edges,
height, visibility) is projected through the camera (a camera file in obstacle-track's own format,
as --camera-out writes it) into picture boxes the way the scene renderer draws them, and written
in each evaluator's ground-truth layout: MOTChallenge's (frames from 1, boxes the truth does not
count as visible marked as distractors) and KITTI's (frames from 0, boxes not visible marked as
fully occluded). TrackEval (its folder DIR) then reads the two files exactly as obstacle-track wrote
them. Prints one JSON object: per file HOTA, MOTA and IDF1 (0 to 1) and the truth and tracker
boxes the evaluator counted. Exit status 0, 2 on a bad argument or file, 3 where TrackEval or
numpy/scipy cannot be imported.
"""
import argparse
import contextlib
import io
import json
import math
import os
import shutil
import sys
import tempfile
import warnings

SEQUENCE = 'scene'
TRACKER = 'obstacle-track'
MOT_PEDESTRIAN = 1  # the only class MOTChallenge's 2D mode scores; every truth box is given it
MOT_DISTRACTOR = 8  # a tracker box on a distractor counts neither way
KITTI_FULLY_OCCLUDED = 3  # above what TrackEval's KITTI mode scores: a tracker box on it counts neither way


def read_camera(path):
    camera = {}
    with open(path) as text:
        for line in text:
            line = line.split('#', 1)[0].strip()
            if line:
                key, value = (part.strip() for part in line.split('=', 1))
                camera[key] = float(value)
    return camera


def flat_road_row(c, d_pix):
    """The picture row of the flat road at disparity d_pix, as the scene renderer draws it."""
    z = c['bf_pix'] / d_pix
    n = (-c['camHeight_m'] + z * c['tanPitch']) * c['f_pix']
    m = z - c['camHeight_m'] * c['tanPitch']
    return c['v0_pix'] - n / m


def picture_box(c, z_m, left_m, right_m, height_m):
    """The box's face in the picture (left, top, right, bottom, bounds included), cut to the picture;
    None where nothing of it is inside."""
    d = c['bf_pix'] / z_m
    left = math.ceil(c['u0_pix'] + left_m * c['f_pix'] / z_m)
    right = math.floor(c['u0_pix'] + right_m * c['f_pix'] / z_m)
    bottom = math.trunc(flat_road_row(c, d))
    top = bottom - math.trunc(height_m * d / c['baseline_m'] + 0.5)
    left, top = max(left, 0), max(top, 0)
    right, bottom = min(right, int(c['width_pix']) - 1), min(bottom, int(c['height_pix']) - 1)
    return (left, top, right, bottom) if left <= right and top <= bottom else None


def read_truth(path, camera):
    """Per row: frame (from 1), id, picture box, visible."""
    rows = []
    with open(path) as text:
        header = text.readline().strip().split(',')
        if header[:2] != ['frame', 'id'] or 'visible' not in header:
            raise ValueError(path + ': not a scene truth CSV (header ' + ','.join(header) + ')')
        col = {name: i for i, name in enumerate(header)}
        for line in text:
            f = line.strip().split(',')
            box = picture_box(camera, float(f[col['z_m']]), float(f[col['x_left_m']]), float(f[col['x_right_m']]),
                              float(f[col['height_m']]))
            if box is not None:
                rows.append((int(f[col['frame']]), int(f[col['id']]), box, f[col['visible']] == '1'))
    return rows


def write(path, lines):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'w') as out:
        out.writelines(lines)


def mot_layout(root, truth, frames, mot_path):
    gt = [f'{k},{i},{l},{t},{r - l + 1},{b - t + 1},1,{MOT_PEDESTRIAN if seen else MOT_DISTRACTOR},1\n'
          for k, i, (l, t, r, b), seen in truth]
    write(os.path.join(root, 'gt', SEQUENCE, 'gt', 'gt.txt'), gt)
    write(os.path.join(root, 'gt', SEQUENCE, 'seqinfo.ini'), [f'[Sequence]\nname={SEQUENCE}\nseqLength={frames}\n'])
    os.makedirs(os.path.join(root, 'trackers', TRACKER, 'data'))
    shutil.copyfile(mot_path, os.path.join(root, 'trackers', TRACKER, 'data', SEQUENCE + '.txt'))
    return {'GT_FOLDER': os.path.join(root, 'gt'), 'TRACKERS_FOLDER': os.path.join(root, 'trackers'),
            'OUTPUT_FOLDER': os.path.join(root, 'out'), 'SKIP_SPLIT_FOL': True, 'SEQ_INFO': {SEQUENCE: frames},
            'TRACKERS_TO_EVAL': [TRACKER], 'PRINT_CONFIG': False}


def kitti_layout(root, truth, frames, kitti_path):
    gt = [f'{k - 1} {i} Car 0 {0 if seen else KITTI_FULLY_OCCLUDED} -10 {l} {t} {r} {b} -1 -1 -1 -1000 -1000 -1000 -10\n'
          for k, i, (l, t, r, b), seen in truth]
    write(os.path.join(root, 'gt', 'label_02', SEQUENCE + '.txt'), gt)
    write(os.path.join(root, 'gt', 'evaluate_tracking.seqmap.training'), [f'{SEQUENCE} empty 000000 {frames:06d}\n'])
    os.makedirs(os.path.join(root, 'trackers', TRACKER, 'data'))
    shutil.copyfile(kitti_path, os.path.join(root, 'trackers', TRACKER, 'data', SEQUENCE + '.txt'))
    return {'GT_FOLDER': os.path.join(root, 'gt'), 'TRACKERS_FOLDER': os.path.join(root, 'trackers'),
            'OUTPUT_FOLDER': os.path.join(root, 'out'), 'CLASSES_TO_EVAL': ['car'], 'TRACKERS_TO_EVAL': [TRACKER],
            'PRINT_CONFIG': False}


def evaluate(trackeval, dataset, cls):
    quiet = {'USE_PARALLEL': False, 'PRINT_RESULTS': False, 'PRINT_CONFIG': False, 'TIME_PROGRESS': False,
             'OUTPUT_SUMMARY': False, 'OUTPUT_DETAILED': False, 'PLOT_CURVES': False, 'OUTPUT_EMPTY_CLASSES': False,
             'BREAK_ON_ERROR': True, 'RETURN_ON_ERROR': False, 'LOG_ON_ERROR': None}
    silent = {'PRINT_CONFIG': False}
    metrics = [trackeval.metrics.HOTA(), trackeval.metrics.CLEAR(silent), trackeval.metrics.Identity(silent)]
    with contextlib.redirect_stdout(io.StringIO()):
        results, _ = trackeval.Evaluator(quiet).evaluate([dataset], metrics)
    scores = results[dataset.get_name()][TRACKER]['COMBINED_SEQ'][cls]
    return {'HOTA': float(scores['HOTA']['HOTA'].mean()), 'MOTA': float(scores['CLEAR']['MOTA']),
            'IDF1': float(scores['Identity']['IDF1']), 'truth_boxes': int(scores['CLEAR']['CLR_TP'] +
                                                                            scores['CLEAR']['CLR_FN']),
            'tracker_boxes': int(scores['CLEAR']['CLR_TP'] + scores['CLEAR']['CLR_FP'])}


def import_trackeval(folder):
    import numpy as np
    # TrackEval still names numpy's aliases of the built-in types, which numpy 1.24 removed.
    with warnings.catch_warnings():
        warnings.simplefilter('ignore', FutureWarning)
        for name, kind in (('float', float), ('int', int), ('bool', bool)):
            if not hasattr(np, name):
                setattr(np, name, kind)
    sys.path.insert(0, folder)
    # It names on standard output the optional parts whose packages are missing.
    with contextlib.redirect_stdout(io.StringIO()):
        import trackeval
    return trackeval


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    for option in ('--trackeval', '--truth', '--camera', '--mot', '--kitti'):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    try:
        trackeval = import_trackeval(args.trackeval)
    except ImportError as missing:
        print(f'trackeval-scene: cannot import TrackEval from {args.trackeval}: {missing}', file=sys.stderr)
        return 3
    try:
        camera = read_camera(args.camera)
        truth = read_truth(args.truth, camera)
    except (OSError, ValueError, KeyError, IndexError) as problem:
        print(f'trackeval-scene: {problem}', file=sys.stderr)
        return 2
    frames = max(k for k, _, _, _ in truth)
    with tempfile.TemporaryDirectory() as root:
        mot = trackeval.datasets.MotChallenge2DBox(mot_layout(os.path.join(root, 'mot'), truth, frames, args.mot))
        kitti = trackeval.datasets.Kitti2DBox(kitti_layout(os.path.join(root, 'kitti'), truth, frames, args.kitti))
        print(json.dumps({'mot': evaluate(trackeval, mot, 'pedestrian'), 'kitti': evaluate(trackeval, kitti, 'car')}))
    return 0


if __name__ == '__main__':
    sys.exit(main())
