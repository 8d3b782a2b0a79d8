#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Transcodes every movie of a folder on a Dask cluster: one task per movie, each task a moviehost
job (a reader and a writer) on the worker that runs it; results and failures are gathered at the end.

    transcodeOnDask.py SOURCE_DIR TARGET_DIR [--codec png] [--quality 50] [--scheduler ADDRESS] [--workers 2]

Without --scheduler it starts a LocalCluster of --workers processes on this machine. With the address
of a running scheduler (tcp://host:8786) the same tasks go to that cluster's workers, each of which
needs the moviehost package and sees both folders at the paths given here. Every movie of the folder
(.mov .mp4 .m4v .mkv .avi .mxf) becomes TARGET_DIR/<its name>.mov at the source's whole-number frame
rate; a movie that fails leaves no output. Exit code 0 when every movie was transcoded, 1 otherwise.
"""

import argparse
import pathlib
import sys

from distributed import Client, LocalCluster, as_completed, get_worker

MOVIE_SUFFIXES = {".mov", ".mp4", ".m4v", ".mkv", ".avi", ".mxf"}


def transcode(source, target, codec, quality):
    """One movie, run on a worker: every frame read and written again in RGB."""
    import moviehost

    try:
        with moviehost.MovieReader(source) as reader:
            with moviehost.MovieWriter(target, reader.width, reader.height, reader.rate, codec=codec,
                                       quality=quality) as writer:
                for frame in reader:
                    writer.write(frame)
    except BaseException:
        # Leaving the with block completes the frames written so far: no half movie may pass for done.
        pathlib.Path(target).unlink(missing_ok=True)
        raise
    return {"source": source, "target": target, "frames": writer.frames_written, "worker": get_worker().address}


def transcode_folder(client, source_dir, target_dir, codec="png", quality=50):
    """Submits one task per movie and waits for all: (results in order of completion, {source: exception})."""
    target_dir = pathlib.Path(target_dir)
    target_dir.mkdir(parents=True, exist_ok=True)
    sources = sorted(p for p in pathlib.Path(source_dir).iterdir() if p.suffix.lower() in MOVIE_SUFFIXES)
    futures = {}
    for source in sources:
        name = source.name if source.suffix == ".mov" else source.name + ".mov"
        future = client.submit(transcode, str(source), str(target_dir / name), codec, quality,
                               key=f"transcode-{source.name}", pure=False)
        futures[future] = str(source)
    results, failures = [], {}
    for future in as_completed(futures):
        if future.status == "error":
            failures[futures[future]] = future.exception()
        else:
            results.append(future.result())
    return results, failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("source_dir", type=pathlib.Path)
    parser.add_argument("target_dir", type=pathlib.Path)
    parser.add_argument("--codec", default="png", help="a name of moviehost.codecs() (default: png, lossless)")
    parser.add_argument("--quality", type=int, default=50, help="0 to 100 (default: 50)")
    parser.add_argument("--scheduler", help="address of a running Dask scheduler, e.g. tcp://farm01:8786")
    parser.add_argument("--workers", type=int, default=2, help="worker processes of the local cluster (default: 2)")
    args = parser.parse_args()

    cluster = None
    if args.scheduler is None:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True, dashboard_address=None)
    try:
        with Client(args.scheduler or cluster) as client:
            results, failures = transcode_folder(client, args.source_dir, args.target_dir, args.codec, args.quality)
    finally:
        if cluster is not None:
            cluster.close()
    for result in results:
        print(f"done {result['source']} -> {result['target']}: {result['frames']} frames on {result['worker']}")
    for source, failure in sorted(failures.items()):
        print(f"failed {source}: {type(failure).__name__}: {failure}")
    print(f"{len(results)} transcoded, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
