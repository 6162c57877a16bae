package com.korvan.kvbridge.server;

import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.Model;
import com.korvan.kvbridge.model.Parameter;

import java.io.IOException;
import java.lang.reflect.Constructor;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Modifier;
import java.net.MalformedURLException;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * A model object made from a descriptor, with the class loader of its own that found it
 * (the model jars of the resources folder over the classes of kvbridge.jar), and every
 * declared parameter's value from the descriptor.
 *
 * @param model       the model object, for the first run
 * @param declaration what the model declared
 * @param parameters  every declared parameter in declaration order: the descriptor's value
 *                    or the default
 * @param classLoader the instance's own loader; closed when the instance is freed
 */
public record LoadedModel(Model model, Declaration declaration, Map<String, Double> parameters,
                          URLClassLoader classLoader) implements AutoCloseable {

    /** Loads, constructs and checks the model that the descriptor names. */
    public static LoadedModel load(Path resourceFolder, ModelDescriptor descriptor)
            throws SimulationException {
        URLClassLoader loader = new URLClassLoader("model " + descriptor.modelClass(),
                jarUrls(resourceFolder, descriptor), LoadedModel.class.getClassLoader());
        boolean loaded = false;
        try {
            Model model = construct(loader, descriptor.modelClass(), descriptor.modelJars());
            Declaration declaration = declarationOf(model, descriptor.modelClass());
            checkCounts(declaration, descriptor);
            Map<String, Double> parameters = parameterValues(declaration, descriptor);
            loaded = true;
            return new LoadedModel(model, declaration, parameters, loader);
        } finally {
            if (!loaded) closeQuietly(loader);  // whatever was thrown, checked or not
        }
    }

    /** Another object of the model's class, for a new run of the same instance. */
    public Model newModel() throws SimulationException {
        return construct(classLoader, model.getClass().getName(), List.of());
    }

    @Override
    public void close() {
        closeQuietly(classLoader);
    }

    private static URL[] jarUrls(Path folder, ModelDescriptor descriptor)
            throws SimulationException {
        List<URL> urls = new ArrayList<>();
        for (String jar : descriptor.modelJars()) {
            Path file = folder.resolve(jar).normalize();
            if (!file.startsWith(folder.normalize())) {
                throw new SimulationException("The model jar " + jar + " listed in model.jars"
                        + " lies outside the resource folder: an FMU carries its jars inside");
            }
            if (!Files.isRegularFile(file)) {
                throw new SimulationException("The model jar " + jar + " listed in model.jars"
                        + " is not in the resource folder " + folder);
            }
            try {
                urls.add(file.toUri().toURL());
            } catch (MalformedURLException e) {
                throw new SimulationException("The model jar " + file + " cannot be opened: "
                        + e.getMessage());
            }
        }
        return urls.toArray(new URL[0]);
    }

    private static Model construct(ClassLoader loader, String name, List<String> modelJars)
            throws SimulationException {
        Class<?> type;
        try {
            type = Class.forName(name, true, loader);
        } catch (ClassNotFoundException e) {
            throw new SimulationException("Model class " + name + " not found in kvbridge.jar"
                    + (modelJars.isEmpty() ? "" : " or the model jars "
                    + String.join(", ", modelJars))
                    + ": check model.class and model.jars in model.properties");
        } catch (LinkageError e) {
            throw new SimulationException("Model class " + name + " cannot be loaded: "
                    + Failures.describe(e));
        }
        if (!Model.class.isAssignableFrom(type)) {
            throw new SimulationException("Class " + name + " is not a model: it does not"
                    + " implement " + Model.class.getName());
        }
        if (Modifier.isAbstract(type.getModifiers())) {
            throw new SimulationException("Model class " + name + " is abstract: name a class"
                    + " that can be constructed");
        }
        Constructor<?> constructor;
        try {
            constructor = type.getConstructor();
        } catch (NoSuchMethodException e) {
            throw new SimulationException("Model class " + name + " needs a public constructor"
                    + " without arguments");
        }
        try {
            return (Model) constructor.newInstance();
        } catch (InvocationTargetException e) {
            throw new SimulationException("Model class " + name + " failed to construct: "
                    + Failures.describe(e.getCause()));
        } catch (Throwable e) {  // also what a static initializer or the VM throws
            throw new SimulationException("Model class " + name + " cannot be constructed: "
                    + Failures.describe(e));
        }
    }

    private static Declaration declarationOf(Model model, String name)
            throws SimulationException {
        Declaration declaration;
        try {
            declaration = model.declaration();
        } catch (Throwable e) {  // anything, also checked exceptions it does not declare
            throw new SimulationException("Model class " + name + " failed to declare its"
                    + " variables: " + Failures.describe(e));
        }
        if (declaration == null) {
            throw new SimulationException("Model class " + name + " declared nothing:"
                    + " declaration() answered null");
        }
        return declaration;
    }

    private static void checkCounts(Declaration declaration, ModelDescriptor descriptor)
            throws SimulationException {
        int outputs = declaration.outputs().size();
        int inputs = declaration.inputs().size();
        if (outputs != descriptor.outputs() || inputs != descriptor.inputs()) {
            throw new SimulationException("Model " + declaration.modelName() + " has " + outputs
                    + " outputs and " + inputs + " inputs, but model.properties declares "
                    + descriptor.outputs() + " and " + descriptor.inputs()
                    + ": the FMU was packed from another version of the model; pack it again");
        }
    }

    private static Map<String, Double> parameterValues(Declaration declaration,
                                                       ModelDescriptor descriptor)
            throws SimulationException {
        Map<String, Double> values = new LinkedHashMap<>();
        for (Parameter parameter : declaration.parameters()) {
            values.put(parameter.name(), parameter.defaultValue());
        }
        List<String> unknown = new ArrayList<>();
        for (Map.Entry<String, Double> given : descriptor.parameters().entrySet()) {
            if (values.containsKey(given.getKey())) {
                values.put(given.getKey(), given.getValue());
            } else {
                unknown.add(given.getKey());
            }
        }
        if (!unknown.isEmpty()) {
            unknown.sort(null);
            throw new SimulationException("model.properties sets unknown parameter"
                    + (unknown.size() > 1 ? "s " : " ") + String.join(", ", unknown)
                    + " of model " + declaration.modelName() + ", whose parameters are "
                    + (values.isEmpty() ? "none" : String.join(", ", values.keySet())));
        }
        return Collections.unmodifiableMap(values);
    }

    private static void closeQuietly(URLClassLoader loader) {
        try {
            loader.close();
        } catch (IOException e) {
            // Nothing is lost: the loader only reads jars.
        }
    }
}
