# Builds the Python package zentrel: the compiled part with the project's own CMake build (only
# the target _zentrel, no desktop and no tests), the Python files from src/python/zentrel.
# Works offline with Debian's setuptools, in a virtual environment of Debian's python3:
#   /usr/bin/python3 -m venv --system-site-packages ENV && ENV/bin/python -m pip install --no-build-isolation .
# The installed module finds its data as the zentrel programs do (nothing of this tree is fixed
# into it). CMAKE_BUILD_PARALLEL_LEVEL sets the compile jobs (default: one per CPU).
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent
VERSION = re.search(r"project\(Zentrel VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1)
WORK = ROOT / "build" / "pip"  # setuptools' own build and metadata folders stay out of the sources
WORK.mkdir(parents=True, exist_ok=True)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        target = Path(self.get_ext_fullpath(ext.name)).resolve()
        # One level below the sources, as the project's own build/: ccache rewrites paths relative
        # to the compiler's working folder, so a build lying alike finds that build's objects.
        cmake_dir = ROOT / "build-pip"
        env = dict(os.environ)
        flags = ROOT / "scripts" / "build-flags.sh"
        if "CXXFLAGS" not in env and flags.exists() and not (cmake_dir / "CMakeCache.txt").exists():
            env["CXXFLAGS"] = subprocess.run(["bash", str(flags)], check=True, capture_output=True, text=True).stdout.strip()
        configure = ["cmake", "-S", str(ROOT), "-B", str(cmake_dir), "-DCMAKE_BUILD_TYPE=Release",
                     f"-DPython3_EXECUTABLE={sys.executable}", "-DZENTREL_BUILD_GUI=OFF",
                     "-DZENTREL_BUILD_TESTS=OFF", "-DZENTREL_BUILD_BENCH=OFF", "-DZENTREL_BUILD_PYTHON=ON"]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        if shutil.which("ccache"):
            configure.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        subprocess.run(configure, check=True, env=env)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        subprocess.run(["cmake", "--build", str(cmake_dir), "--target", "_zentrel", "-j", jobs], check=True)
        built = next((cmake_dir / "python" / "zentrel").glob("_zentrel*.so"))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(built, target)


setup(
    name="zentrel",
    version=VERSION,
    description="Long-term monthly climate estimates for any point on the Earth's land surface",
    packages=["zentrel"],
    package_dir={"zentrel": "src/python/zentrel"},
    package_data={"zentrel": ["__init__.pyi", "py.typed"]},
    ext_modules=[Extension("zentrel._zentrel", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    license="MIT",
    license_files=["LICENSE"],
    author="The Zentrel developers",
    classifiers=["License :: OSI Approved :: MIT License", "Programming Language :: Python :: 3",
                 "Programming Language :: C++", "Topic :: Scientific/Engineering :: Atmospheric Science"],
    python_requires=">=3.9",
    install_requires=["numpy"],
    zip_safe=False,
    options={"build": {"build_base": str(WORK)}, "egg_info": {"egg_base": str(WORK)}},
)
