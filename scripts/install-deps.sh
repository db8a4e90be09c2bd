#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# Extra package names given as arguments are installed too (the fuzzing and
# cross-build stages name their own).
set -euo pipefail
packages=(build-essential cmake binutils libgtest-dev libgmock-dev libbenchmark-dev
          zlib1g-dev libpng-dev libnifti2-dev nlohmann-json3-dev libmpfr-dev
          libcli11-dev librandom123-dev libcairo2-dev fonts-dejavu-core
          pybind11-dev python3-pybind11 python3-dev python3-venv python3-pip python3-pytest
          python3-numpy python3-scipy python3-nibabel python3-pandas python3-matplotlib
          python3-distributed python3-setuptools python3-wheel "$@")
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    sudo_cmd=()
    [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
    # A mirror caught mid-sync fails one index with exit 100 and keeps the
    # others; try again a little later, then install from what was fetched
    # (the install itself fails if it needed the index that was not).
    for attempt in 1 2 3; do
        "${sudo_cmd[@]}" apt-get update && break
        if ((attempt == 3)); then
            echo "apt-get update: an index still fails; installing from the others" >&2
        else
            echo "apt-get update failed; trying again in $((attempt * 20)) s" >&2
            sleep $((attempt * 20))
        fi
    done
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
