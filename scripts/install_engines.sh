#!/usr/bin/env bash
# Fetches the engines the tests run databricks, trino and presto SQL on: pyspark (PyPI) into $PYTHON, and a Trino
# and a Presto server with their memory connector (Maven) into a cache kept between runs. An engine already in the
# cache is not fetched again. Java comes from install.sh's system packages; Trino needs a Java 24 or newer beside
# it, which Debian does not package: the tests skip Trino when none is found under /usr/lib/jvm.
set -euo pipefail
cd "$(dirname "$0")/engines"
source ./versions.env

PYTHON="${PYTHON:-python3}"
"$PYTHON" -m pip install -q --disable-pip-version-check "pyspark==$PYSPARK_VERSION"

CACHE="${MIRTOVA_ENGINES_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/mirtova-engines}"
mkdir -p "$CACHE"
WORK="$(mktemp -d "$CACHE/fetch.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
# A repository of its own, removed at the end, so that the archives do not stay twice on disk.
MVN=(mvn -B -q -Dstyle.color=never -Dmaven.repo.local="$WORK/repository")

# Each engine lands in a folder of its own, named after its version, marked complete only once whole.
fetch_trino() {
  local dest="$CACHE/trino-$TRINO_VERSION"
  [ -f "$dest/complete" ] && return
  rm -rf "$dest" && mkdir -p "$dest/plugin"
  "${MVN[@]}" dependency:copy -DoutputDirectory="$WORK/trino" \
    -Dartifact="io.trino:trino-server-core:$TRINO_VERSION:tar.gz" >/dev/null
  "${MVN[@]}" dependency:copy -DoutputDirectory="$WORK/trino" \
    -Dartifact="io.trino:trino-memory:$TRINO_VERSION:zip" >/dev/null
  # The server's own jars only: its bundled plugins would be loaded at every start and none is used.
  tar -xzf "$WORK/trino/trino-server-core-$TRINO_VERSION.tar.gz" -C "$dest" --strip-components=1 \
    "trino-server-core-$TRINO_VERSION/lib"
  (cd "$WORK/trino" && unzip -q "trino-memory-$TRINO_VERSION.zip" && mv "trino-memory-$TRINO_VERSION" "$dest/plugin/memory")
  touch "$dest/complete"
}

fetch_presto() {
  local dest="$CACHE/presto-$PRESTO_VERSION"
  [ -f "$dest/complete" ] && return
  rm -rf "$dest" && mkdir -p "$dest"
  "${MVN[@]}" -f presto-jars.xml -Dpresto.version="$PRESTO_VERSION" -Dpresto.part=presto-main \
    dependency:copy-dependencies -DincludeScope=runtime -DoutputDirectory="$dest/lib" >/dev/null
  # What the server lends every plugin is left out of the plugin's own folder, as the release does.
  "${MVN[@]}" -f presto-jars.xml -Dpresto.version="$PRESTO_VERSION" -Dpresto.part=presto-memory \
    dependency:copy-dependencies -DincludeScope=runtime -DexcludeArtifactIds=jackson-annotations,units \
    -DoutputDirectory="$dest/plugin/memory" >/dev/null
  touch "$dest/complete"
}

fetch_trino
fetch_presto
echo "engines in $CACHE: pyspark $PYSPARK_VERSION, trino $TRINO_VERSION, presto $PRESTO_VERSION"
