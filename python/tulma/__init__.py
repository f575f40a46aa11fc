"""Read the report files of a TULMA run and draw figures of them.

    PYTHONPATH=python /usr/bin/python3 -m tulma plot RUN_DIR
    PYTHONPATH=python /usr/bin/python3 -m tulma summary RUN_DIR

``tulma.reports`` holds the readers (numpy structured arrays), ``tulma.plots``
the figures (matplotlib, imported only when a figure is drawn).
"""

# The library's version, as project(VERSION) in CMakeLists.txt gives it.
__version__ = '0.1.0'
