#include "python/result_values.hpp"

#include <new>
#include <span>
#include <type_traits>
#include <utility>

namespace velm::python {

namespace {

// _Array: owns one engine array (float64, int32 or bool) and exports it read-only, C-contiguous.

struct ArrayObject {
  PyObject_HEAD std::vector<double>* doubles;
  std::vector<std::uint8_t>* flags;
  std::vector<std::int32_t>* ints;
  int ndim;
  Py_ssize_t shape[3];
  Py_ssize_t strides[3];
};

int array_getbuffer(PyObject* self, Py_buffer* view, int flags) {
  auto* array = reinterpret_cast<ArrayObject*>(self);
  if ((flags & PyBUF_WRITABLE) == PyBUF_WRITABLE) {
    PyErr_SetString(PyExc_BufferError, "the analysis results are read-only");
    view->obj = nullptr;
    return -1;
  }
  const bool is_double = array->doubles != nullptr, is_int = array->ints != nullptr;
  view->buf = is_double ? static_cast<void*>(array->doubles->data())
              : is_int  ? static_cast<void*>(array->ints->data())
                        : static_cast<void*>(array->flags->data());
  view->obj = Py_NewRef(self);
  view->itemsize = is_double ? sizeof(double) : is_int ? sizeof(std::int32_t) : 1;
  Py_ssize_t count = 1;
  for (int i = 0; i < array->ndim; ++i) count *= array->shape[i];
  view->len = count * view->itemsize;
  view->readonly = 1;
  view->format = (flags & PyBUF_FORMAT) ? const_cast<char*>(is_double ? "d"
                                                            : is_int  ? "i"
                                                                      : "?")
                                        : nullptr;
  view->ndim = array->ndim;
  view->shape = (flags & PyBUF_ND) == PyBUF_ND ? array->shape : nullptr;
  view->strides = (flags & PyBUF_STRIDES) == PyBUF_STRIDES ? array->strides : nullptr;
  view->suboffsets = nullptr;
  view->internal = nullptr;
  return 0;
}

void array_dealloc(PyObject* self) {
  auto* array = reinterpret_cast<ArrayObject*>(self);
  PyTypeObject* type = Py_TYPE(self);
  delete array->doubles;
  delete array->flags;
  delete array->ints;
  type->tp_free(self);
  Py_DECREF(type);
}

PyType_Slot array_slots[] = {
    {Py_bf_getbuffer, reinterpret_cast<void*>(array_getbuffer)},
    {Py_tp_dealloc, reinterpret_cast<void*>(array_dealloc)},
    {Py_tp_doc, const_cast<char*>("Owner of one array of analysis results.")},
    {0, nullptr}};

}  // namespace

PyType_Spec array_spec = {"velm_calculations._Array", sizeof(ArrayObject), 0,
                          Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION, array_slots};

namespace {

template <class Value>
PyObject* array_view(PyObject* array_type, std::vector<Value>&& values,
                     std::span<const Py_ssize_t> shape) {
  auto* type = reinterpret_cast<PyTypeObject*>(array_type);
  auto* array = reinterpret_cast<ArrayObject*>(type->tp_alloc(type, 0));
  if (array == nullptr) return nullptr;
  array->doubles = nullptr;
  array->flags = nullptr;
  array->ints = nullptr;
  try {
    if constexpr (std::is_same_v<Value, double>)
      array->doubles = new std::vector<double>(std::move(values));
    else if constexpr (std::is_same_v<Value, std::int32_t>)
      array->ints = new std::vector<std::int32_t>(std::move(values));
    else
      array->flags = new std::vector<std::uint8_t>(std::move(values));
  } catch (const std::bad_alloc&) {
    Py_DECREF(array);
    return PyErr_NoMemory();
  }
  array->ndim = static_cast<int>(shape.size());
  int i = 0;
  for (const Py_ssize_t extent : shape) array->shape[i++] = extent;
  Py_ssize_t stride = sizeof(Value);
  for (int k = array->ndim - 1; k >= 0; --k) {
    array->strides[k] = stride;
    stride *= array->shape[k];
  }
  PyObject* view = PyMemoryView_FromObject(reinterpret_cast<PyObject*>(array));
  Py_DECREF(array);
  return view;
}

// A tuple of Python ints.
}  // namespace

PyObject* memoryview_of(PyObject* array_type, std::vector<double>&& values,
                        std::initializer_list<Py_ssize_t> shape) {
  return array_view(array_type, std::move(values), {shape.begin(), shape.size()});
}

PyObject* memoryview_of(PyObject* array_type, std::vector<std::uint8_t>&& values,
                        std::initializer_list<Py_ssize_t> shape) {
  return array_view(array_type, std::move(values), {shape.begin(), shape.size()});
}

PyObject* memoryview_of(PyObject* array_type, std::vector<double>&& values,
                        std::span<const Py_ssize_t> shape) {
  return array_view(array_type, std::move(values), shape);
}

PyObject* memoryview_of(PyObject* array_type, std::vector<std::int32_t>&& values,
                        std::span<const Py_ssize_t> shape) {
  return array_view(array_type, std::move(values), shape);
}

// memoryview.tolist(), or the object itself (a new reference) when it is not a memoryview.
PyObject* plain(PyObject* value) {
  if (PyMemoryView_Check(value)) return PyObject_CallMethod(value, "tolist", nullptr);
  if (PyTuple_Check(value)) {
    const Py_ssize_t size = PyTuple_GET_SIZE(value);
    PyObject* list = PyList_New(size);
    if (list == nullptr) return nullptr;
    for (Py_ssize_t i = 0; i < size; ++i) {
      PyObject* item = plain(PyTuple_GET_ITEM(value, i));
      if (item == nullptr) {
        Py_DECREF(list);
        return nullptr;
      }
      PyList_SET_ITEM(list, i, item);
    }
    return list;
  }
  return Py_NewRef(value);
}

PyObject* float_tuple(const std::vector<double>& values) {
  PyObject* tuple = PyTuple_New(static_cast<Py_ssize_t>(values.size()));
  if (tuple == nullptr) return nullptr;
  for (std::size_t i = 0; i < values.size(); ++i) {
    PyObject* value = PyFloat_FromDouble(values[i]);
    if (value == nullptr) {
      Py_DECREF(tuple);
      return nullptr;
    }
    PyTuple_SET_ITEM(tuple, static_cast<Py_ssize_t>(i), value);
  }
  return tuple;
}

}  // namespace velm::python
