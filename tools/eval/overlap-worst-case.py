#!/usr/bin/env python3
"""Writes the evaluator's worst case: N true obstacles and N established tracks in the same place
over four frames, so that in the fourth frame, where the obstacles are counted, every obstacle
overlaps every track (N x N pairs for IDF1's assignment).

    tools/eval/overlap-worst-case.py N truth.csv results.jsonl
    obstacle-eval --truth truth.csv --results results.jsonl
"""
import sys

FRAMES = 4  # obstacles are counted from the fourth frame of an unbroken run


def main():
    n = int(sys.argv[1])
    with open(sys.argv[2], "w") as truth:
        truth.write("frame,id,z_m,x_left_m,x_right_m,x_center_m,height_m,vz_mps,vx_mps,visible\n")
        for frame in range(1, FRAMES + 1):
            for i in range(1, n + 1):
                truth.write(f"{frame},{i},10,-1,1,0,1,0,0,1\n")
    with open(sys.argv[3], "w") as results:
        for frame in range(1, FRAMES + 1):
            tracks = ",".join(
                f'{{"id":{i},"track":{i},"count":3,"z_m":10,"x_m":0,"w_m":2,"vz_mps":0}}' for i in range(1, n + 1))
            results.write(f'{{"frame":{frame},"tracks":[{tracks}]}}\n')


if __name__ == "__main__":
    main()
